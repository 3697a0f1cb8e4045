#pragma once

#include <sys/inotify.h>
#include <sys/select.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace bench {

using Steady = std::chrono::steady_clock;

// Deletion times of the files of a folder (by name), read from inotify on a thread of its
// own. The console deletes an inbox file only after the state that includes its records
// has been saved, so a deletion marks the file as done.
class DeletionWatch {
public:
    explicit DeletionWatch(const std::string& folder) {
        fd_ = inotify_init1(IN_CLOEXEC);
        if (fd_ < 0 || inotify_add_watch(fd_, folder.c_str(), IN_DELETE) < 0) {
            std::perror("inotify");
            std::exit(1);
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~DeletionWatch() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    std::map<std::string, Steady::time_point> Times() {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_;
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_.size();
    }
    bool overflowed() const { return overflowed_; }

private:
    void Run() {
        alignas(inotify_event) char buffer[64 * 1024];
        while (!stop_) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd_, &set);
            timeval wait{0, 100000};
            if (select(fd_ + 1, &set, nullptr, nullptr, &wait) <= 0)
                continue;
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            const Steady::time_point now = Steady::now();
            if (n <= 0)
                continue;
            std::lock_guard<std::mutex> lock(mutex_);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((e->mask & IN_Q_OVERFLOW) != 0)
                    overflowed_ = true;
                if ((e->mask & IN_DELETE) != 0 && e->len > 0)
                    times_.emplace(e->name, now);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> overflowed_{false};
    std::mutex mutex_;
    std::map<std::string, Steady::time_point> times_;
};

}  // namespace bench
