#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "model/Cp1251.h"

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

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
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

}  // namespace Platform

CInstanceLock::~CInstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the descriptor releases the flock
    }
}

bool CInstanceLock::Acquire(const std::string& name) {
    if (fd_ >= 0) {
        return true;
    }
    const std::string path = Platform::TempFolder() + "/" + name + ".lock";
    const int fd = ::open(Platform::ToNativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
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
    fd_ = fd;
    return true;
}
