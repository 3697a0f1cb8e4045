#include "platform/Platform.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "base/Cp1251.h"

namespace Platform {

std::string GetProgramFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return ".";
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            const std::string exe =
                FromNativePath(std::string(buffer.data(), static_cast<size_t>(n)));
            const auto slash = exe.rfind('/');
            if (slash == std::string::npos) {
                return ".";
            }
            return slash == 0 ? std::string("/") : exe.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ToNativePath(const std::string& path) {
    return Cp1251::ToUtf8(path);
}

std::string FromNativePath(const std::string& nativePath) {
    return Cp1251::FromUtf8(nativePath);
}

std::string InstanceLockFolder() {
    const char* dir = std::getenv("SENTREL_LOCK_FOLDER");
    std::string folder = (dir != nullptr && *dir != '\0') ? FromNativePath(dir) : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::optional<int> CurrentTimeZoneBiasMinutes() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) {
        return std::nullopt;
    }
    // tm_gmtoff is seconds east of UTC with daylight time already in it; the bias runs
    // the other way (UTC = local + bias).
    return static_cast<int>(-local.tm_gmtoff / 60);
}

std::string CurrentAccountName() {
    // The login's own name first, as the shell gives it; the password database when the
    // environment has none (a service, a cleared environment).
    for (const char* variable : {"USER", "LOGNAME"}) {
        const char* name = std::getenv(variable);
        if (name != nullptr && *name != '\0')
            return Cp1251::FromUtf8(name);
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr)
        return Cp1251::FromUtf8(found->pw_name);
    return {};
}

}  // namespace Platform

CInstanceLock::~CInstanceLock() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));  // closing the descriptor releases the flock
    }
}

namespace {

// Opens the lock file, creating it when it is not there. Another account's copy may have
// made it: the file is opened read-only (enough for flock, and allowed on a 0644 file of
// someone else) and without O_CREAT (which protected_regular refuses on another
// account's file in /tmp). A new file is made readable for every account whatever our
// umask, so that the next copy, whoever runs it, can open it too.
int OpenLockFile(const std::string& nativePath) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0) {
            return fd;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == ENOENT) {
            fd = ::open(nativePath.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        0666);
            if (fd >= 0) {
                ::fchmod(fd, 0666);
                return fd;
            }
            if (errno == EEXIST || errno == EINTR) {
                continue;  // another copy made it just now
            }
            return -1;
        }
        // A file we may not open was not left by this program, which makes its files
        // readable for all; when we may, it is cleared out of the way.
        if (errno == EACCES && ::unlink(nativePath.c_str()) == 0) {
            continue;
        }
        return -1;
    }
    return -1;
}

}  // namespace

bool CInstanceLock::Acquire(const std::string& name) {
    if (handle_ != -1) {
        return true;
    }
    const std::string path = Platform::InstanceLockFolder() + "/" + name + ".lock";
    const int fd = OpenLockFile(Platform::ToNativePath(path));
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}
