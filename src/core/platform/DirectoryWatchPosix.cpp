#include "platform/DirectoryWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/Platform.h"

CDirectoryWatch::~CDirectoryWatch() {
    Stop();
}

bool CDirectoryWatch::Start(const std::string& folder, std::function<void()> onChange) {
    Stop();
    const int watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watchFd < 0) {
        return false;
    }
    // Writers that create the file under its final name are seen when they close it (and
    // on every write, for slow writers); writers that rename a finished file into the
    // folder, when it is moved in.
    constexpr uint32_t kMask = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY;
    if (::inotify_add_watch(watchFd, Platform::ToNativePath(folder).c_str(), kMask) < 0) {
        ::close(watchFd);
        return false;
    }
    const int stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd < 0) {
        ::close(watchFd);
        return false;
    }
    watchHandle_ = watchFd;
    stopHandle_ = stopFd;
    thread_ = std::thread([this, onChange = std::move(onChange)]() mutable { Run(std::move(onChange)); });
    return true;
}

void CDirectoryWatch::Stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(static_cast<int>(stopHandle_), &one, sizeof one);
        thread_.join();
    }
    if (watchHandle_ >= 0) {
        ::close(static_cast<int>(watchHandle_));
        watchHandle_ = -1;
    }
    if (stopHandle_ >= 0) {
        ::close(static_cast<int>(stopHandle_));
        stopHandle_ = -1;
    }
}

void CDirectoryWatch::Run(std::function<void()> onChange) {
    const int watchFd = static_cast<int>(watchHandle_);
    const int stopFd = static_cast<int>(stopHandle_);
    alignas(struct inotify_event) char buffer[8192];
    for (;;) {
        pollfd fds[2] = {{watchFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        // Drain everything queued, then tell the owner once: it lists the whole folder.
        bool changed = false;
        for (;;) {
            const ssize_t got = ::read(watchFd, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            changed = true;
        }
        if (changed) {
            onChange();
        }
    }
}
