#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Operating-system facts the program needs at start-up and for the display offset.
namespace Platform {

// Folder of the running executable, without a trailing separator.
std::string GetProgramFolder();
// The path separator the program writes into paths it builds.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
// True for a character that ends a folder name in a path: '/' everywhere, and on
// Windows the backslash as well (the system takes either, and Sentrel.ini may hold both).
constexpr bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}
// Position of the last separator in `path`, npos when there is none.
constexpr std::size_t LastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) {
            return i - 1;
        }
    }
    return std::string_view::npos;
}
// Folder of the single-instance lock on Linux: one for the whole machine, whatever
// account runs the program and whatever its TMPDIR says ("/tmp"). Copies started side by
// side by the tests get a folder of their own through SENTREL_LOCK_FOLDER. Windows names
// its mutex without a folder; there this is the system's temporary folder.
std::string InstanceLockFolder();

// Paths inside the program are texts like any other: Windows-1251 bytes, as Sentrel.ini
// stores them. The operating system names files in its own encoding (UTF-8 on Linux;
// on Windows the UTF-16 calls get Cp1251::ToUtf16 of the path and these two are the
// identity), so every call that hands a path to the system converts it at that boundary,
// and every name that comes back from the system is converted the other way.
std::string ToNativePath(const std::string& path);
std::string FromNativePath(const std::string& nativePath);

// The operating-system account the program runs under (Windows-1251; empty when the
// system cannot tell): whoever acknowledged alerts, as the alert journal records it.
std::string CurrentAccountName();

// The system time zone's bias in minutes (UTC = local + bias), including the daylight
// bias when daylight time is in force; nothing when the system cannot tell.
std::optional<int> CurrentTimeZoneBiasMinutes();

}  // namespace Platform

// The single-instance lock: a named system-wide lock held until the process ends. On
// Linux an flock on InstanceLockFolder()/<name>.lock. The file is left behind on exit
// and may belong to another account; only a held lock stops a start, never the file.
// On Windows a mutex of that name, created without an initial owner: it exists while
// any copy keeps its handle open.
class CInstanceLock {
public:
    static constexpr const char* kName = "Sentrel-088FA840-B10D-11D3-BC36-006067709674";
    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;
    // False when another process holds the lock (or access to it is denied).
    bool Acquire(const std::string& name = kName);
    bool IsHeld() const { return handle_ != -1; }

private:
    // The lock file's descriptor on Linux, the mutex handle on Windows; -1 when not held.
    intptr_t handle_ = -1;
};
