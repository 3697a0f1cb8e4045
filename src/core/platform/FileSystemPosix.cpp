// The file operations on Linux (POSIX calls, UTF-8 names).
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <mutex>

#include "platform/FileSystemInternal.h"
#include "platform/Platform.h"

namespace FileSystem {

namespace {

// Paths are Windows-1251 texts inside the program; the system wants its own encoding.
std::string Native(const std::string& path) {
    return Platform::ToNativePath(path);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes the temporary file through `fill`, then renames it over `path`.
bool ReplaceFile(const std::string& path, const std::function<bool(int fd)>& fill) {
    std::lock_guard lock(Internal::ReplaceMutex());
    const std::string temp = Internal::ReplaceTempPath(path);
    const int fd = ::open(Native(temp).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = fill(fd);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    if (ok && ::rename(Native(temp).c_str(), Native(path).c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(Native(temp).c_str());
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}

bool StatPath(const std::string& path, struct stat& st) {
    return ::stat(Native(path).c_str(), &st) == 0;
}

FileStamp StampFromStat(const struct stat& st) {
    FileStamp stamp;
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.fileId = static_cast<uint64_t>(st.st_ino);
    return stamp;
}

}  // namespace

void SyncFolder(const std::string& folder) {
    const int fd = ::open(Native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // Some file systems refuse to sync a directory; the rename itself has happened, so
    // this is only about durability and is not worth failing the write for.
    (void)::fsync(fd);
    ::close(fd);
}

bool WriteAndSync(const std::string& path, std::string_view bytes) {
    const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool sync) {
    const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    if (ok && sync && ::fsync(fd) != 0) {
        ok = false;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
}

bool TruncateFile(const std::string& path, int64_t size) {
    return size >= 0 && ::truncate(Native(path).c_str(), static_cast<off_t>(size)) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Non-blocking: a FIFO put where a file was expected must not hang the reader until
    // some writer opens it. Regular files ignore the flag.
    const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) {
        bytes.reserve(static_cast<size_t>(st.st_size));
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceFile(path, [bytes](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

void RemoveStaleTempFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : Native(folder).c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTempFileName(entry->d_name)) {
            stale.push_back(Platform::FromNativePath(entry->d_name));
        }
    }
    ::closedir(dir);
    for (const auto& name : stale) {
        ::unlink(Native(folder + "/" + name).c_str());
    }
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (!StatPath(path, st) || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) {
    return ::unlink(Native(path).c_str()) == 0;
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
    const int in = ::open(Native(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    // Goes through the atomic replace so that a crash never leaves a half copy behind.
    const bool ok = ReplaceFile(to, [in](int out) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(in, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (n == 0) {
                return true;
            }
            if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
                return false;
            }
        }
    });
    ::close(in);
    return ok;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string prefix = path.substr(0, pos);
        if (::mkdir(Native(prefix).c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    if (::mkdir(Native(path).c_str(), 0777) != 0 && errno != EEXIST) {
        return false;
    }
    return DirectoryExists(path);
}

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    if (!StatPath(path, st)) {
        return FileStamp{};
    }
    return StampFromStat(st);
}

bool ReadFileRange(const std::string& path, int64_t offset, std::size_t maxBytes,
                   std::string& bytes, FileStamp& stamp) {
    bytes.clear();
    stamp = FileStamp{};
    if (offset < 0) {
        return false;
    }
    // Non-blocking for the same reason as ReadWholeFile.
    const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && offset < st.st_size) {
        bytes.resize(std::min<int64_t>(static_cast<int64_t>(maxBytes), st.st_size - offset));
    }
    std::size_t got = 0;
    while (ok && got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got,
                                  static_cast<off_t>(offset + static_cast<int64_t>(got)));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
        } else if (n == 0) {
            break;  // cut shorter meanwhile: the stamp below tells
        } else {
            got += static_cast<std::size_t>(n);
        }
    }
    bytes.resize(got);
    if (ok && ::fstat(fd, &st) == 0) {
        stamp = StampFromStat(st);
    } else {
        ok = false;
    }
    ::close(fd);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

std::vector<DirEntry> ListDirectory(const std::string& pattern) {
    std::vector<DirEntry> entries;
    const Internal::ListPattern split = Internal::SplitListPattern(pattern);
    const std::string& folder = split.folder;
    const std::string& namePattern = split.namePattern;
    DIR* dir = ::opendir(Native(folder).c_str());
    if (dir == nullptr) {
        return entries;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = Platform::FromNativePath(entry->d_name);
        if (!MatchesWildcard(name, namePattern)) {
            continue;
        }
        DirEntry item;
        item.name = name;
        item.fullPath = split.pathPrefix + item.name;
        if (entry->d_type == DT_DIR) {
            item.isDirectory = true;
        } else if (entry->d_type == DT_REG) {
            item.isRegular = true;
        } else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            if (StatPath(item.fullPath, st)) {
                item.isDirectory = S_ISDIR(st.st_mode);
                item.isRegular = S_ISREG(st.st_mode);
            }
        }
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
    return entries;
}

}  // namespace FileSystem
