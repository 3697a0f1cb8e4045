#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Tells its owner soon after something changes in one folder: a file created, renamed
// into it, written or closed after writing. It only wakes the inbox worker early; the
// worker still lists the folder itself, so a lost or merged notice costs at most one
// polling period, never a message.
class CDirectoryWatch {
public:
    CDirectoryWatch() = default;
    ~CDirectoryWatch();
    CDirectoryWatch(const CDirectoryWatch&) = delete;
    CDirectoryWatch& operator=(const CDirectoryWatch&) = delete;

    // Starts watching `folder` (a Windows-1251 path, like every path in the program);
    // `onChange` is called from the watch's own thread, possibly once for many changes.
    // False when the folder cannot be watched (missing, or no notification support): the
    // caller then relies on polling alone. A running watch is stopped first.
    bool Start(const std::string& folder, std::function<void()> onChange);
    // Ends the watch and waits for its thread. Safe to call when not running.
    void Stop();
    bool IsRunning() const { return thread_.joinable(); }

private:
    void Run(std::function<void()> onChange);

    std::thread thread_;
    // Platform handles: the notification handle and the handle that wakes the thread
    // to stop (inotify descriptor and eventfd on Linux; change notification and event
    // on Windows).
    intptr_t watchHandle_ = -1;
    intptr_t stopHandle_ = -1;
};
