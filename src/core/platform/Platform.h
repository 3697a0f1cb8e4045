#pragma once

#include <memory>
#include <optional>
#include <string>

// Operating-system facts the program needs at start-up and for the display offset.
namespace Platform {

// Folder of the running executable, without a trailing separator.
std::string GetProgramFolder();
// The path separator the program writes where the Windows original writes '\'.
constexpr char kSeparator = '/';
// Folder of the single-instance lock: one for the whole machine, whatever account runs
// the program and whatever its TMPDIR says ("/tmp"). Copies started side by side by the
// tests get a folder of their own through SENTREL_LOCK_FOLDER.
std::string InstanceLockFolder();

// Paths inside the program are texts like any other: Windows-1251 bytes, as Sentrel.ini
// stores them. The operating system names files in its own encoding (UTF-8 here), so
// every call that hands a path to the system converts it at that boundary, and every
// name that comes back from the system is converted the other way.
std::string ToNativePath(const std::string& path);
std::string FromNativePath(const std::string& nativePath);

// The system time zone's bias in minutes (UTC = local + bias), including the daylight
// bias when daylight time is in force; nothing when the system cannot tell.
std::optional<int> CurrentTimeZoneBiasMinutes();

}  // namespace Platform

// The single-instance lock: a named system-wide lock held until the process ends. On
// Linux an flock on InstanceLockFolder()/<name>.lock. The file is left behind on exit
// and may belong to another account; only a held lock stops a start, never the file.
class CInstanceLock {
public:
    static constexpr const char* kName = "Sentrel-088FA840-B10D-11D3-BC36-006067709674";
    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;
    // False when another process holds the lock (or access to it is denied).
    bool Acquire(const std::string& name = kName);
    bool IsHeld() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
