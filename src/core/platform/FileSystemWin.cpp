// The file operations on Windows (Win32 calls, UTF-16 names).
#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "base/Cp1251.h"
#include "platform/FileSystemInternal.h"
#include "platform/Platform.h"

namespace FileSystem {

namespace {

// Paths are Windows-1251 texts inside the program; the wide calls take UTF-16.
std::wstring Wide(const std::string& path) {
    const std::u16string utf16 = Cp1251::ToUtf16(path);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const wchar_t* name) {
    const std::wstring_view wide(name);
    return Cp1251::FromUtf16(std::u16string(wide.begin(), wide.end()));
}

// Closes the handle it owns.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        const bool ok = !IsValid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

// Readers let writers, renames and deletions go on beside them, as on Linux.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenForWriting(const std::string& path, DWORD access, DWORD disposition) {
    return ::CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenForReading(const std::string& path) {
    return ::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Reads from `file` to its end, handing every piece to `sink`.
bool ReadAll(HANDLE file, const std::function<bool(const char*, size_t)>& sink) {
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!sink(buffer, got)) {
            return false;
        }
    }
}

// Renames over an existing target. A virus scanner or an indexer that has just opened
// the target keeps the rename from happening for a moment, so a refusal is tried again
// a few times before it counts.
bool MoveOver(const std::string& from, const std::string& to) {
    const std::wstring wideFrom = Wide(from);
    const std::wstring wideTo = Wide(to);
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          error == ERROR_ACCESS_DENIED;
        // A folder in the target's place refuses as "access denied" too, and for good.
        const DWORD target = ::GetFileAttributesW(wideTo.c_str());
        const bool folder =
            target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY);
        if (!busy || folder || attempt >= 4) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Writes the temporary file through `fill`, then renames it over `path`.
bool ReplaceThroughTemp(const std::string& path, const std::function<bool(HANDLE)>& fill) {
    std::lock_guard lock(Internal::ReplaceMutex());
    const std::string temp = Internal::ReplaceTempPath(path);
    Handle file(OpenForWriting(temp, GENERIC_WRITE, CREATE_ALWAYS));
    if (!file.IsValid()) {
        return false;
    }
    bool ok = fill(file.Get()) && ::FlushFileBuffers(file.Get());
    if (!file.Close()) {
        ok = false;
    }
    if (ok && !MoveOver(temp, path)) {
        ok = false;
    }
    if (!ok) {
        ::DeleteFileW(Wide(temp).c_str());
    }
    return ok;
}

// What the program asks of a path. A reparse point (a symbolic link, a junction) counts
// as what it leads to, as a link does on Linux.
struct PathFacts {
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    int64_t size = 0;
    FILETIME modified{};
};

PathFacts FactsOf(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, FILETIME modified) {
    PathFacts facts;
    facts.exists = true;
    facts.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.isRegular = !facts.isDirectory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    facts.size = (static_cast<int64_t>(sizeHigh) << 32) | sizeLow;
    facts.modified = modified;
    return facts;
}

PathFacts FollowReparsePoint(const std::string& path) {
    // Opening follows the link; no access right is needed to read the attributes, and
    // the backup flag lets a folder be opened too.
    Handle target(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!target.IsValid() || !::GetFileInformationByHandle(target.Get(), &info)) {
        return {};
    }
    PathFacts facts = FactsOf(info.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT,
                              info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
    if (::GetFileType(target.Get()) != FILE_TYPE_DISK) {
        facts.isRegular = false;
    }
    return facts;
}

PathFacts FactsOfPath(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        return {};
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return FollowReparsePoint(path);
    }
    return FactsOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                   data.ftLastWriteTime);
}

// FILETIME counts 100 ns from 1601; counted from 1970 the nanoseconds fit 64 bits.
int64_t NanosecondsSince1970(FILETIME time) {
    constexpr int64_t kTicksFrom1601To1970 = 116444736000000000LL;
    const int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kTicksFrom1601To1970) * 100;
}

// The stamp of an open file: size, time and identity (volume serial number and file
// index, which stay with the file across renames).
bool StampOfHandle(HANDLE file, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        return false;
    }
    stamp.size = (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modifiedNs = NanosecondsSince1970(info.ftLastWriteTime);
    stamp.device = info.dwVolumeSerialNumber;
    stamp.fileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// Calls `onName` for every name in `folder`, "." and ".." included.
void ForEachName(const std::string& folder,
                 const std::function<void(const WIN32_FIND_DATAW&)>& onName) {
    std::string search = folder.empty() ? std::string(".") : folder;
    if (!Platform::IsSeparator(search.back())) {
        search += Platform::kSeparator;
    }
    search += '*';
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW(Wide(search).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        onName(data);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

}  // namespace

void SyncFolder(const std::string&) {
    // Windows cannot sync a folder's names; MOVEFILE_WRITE_THROUGH already makes the
    // rename durable before MoveFileExW returns.
}

bool WriteAndSync(const std::string& path, std::string_view bytes) {
    Handle file(OpenForWriting(path, GENERIC_WRITE, CREATE_ALWAYS));
    if (!file.IsValid()) {
        return false;
    }
    bool ok = WriteAll(file.Get(), bytes.data(), bytes.size()) && ::FlushFileBuffers(file.Get());
    if (!file.Close()) {
        ok = false;
    }
    return ok;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveOver(from, to);
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool sync) {
    // Append-only access: every write lands at the end, whatever else writes the file.
    Handle file(OpenForWriting(path, FILE_APPEND_DATA, OPEN_ALWAYS));
    if (!file.IsValid()) {
        return false;
    }
    bool ok = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (ok && sync && !::FlushFileBuffers(file.Get())) {
        ok = false;
    }
    if (!file.Close()) {
        ok = false;
    }
    return ok;
}

bool TruncateFile(const std::string& path, int64_t size) {
    if (size < 0) {
        return false;
    }
    Handle file(OpenForWriting(path, GENERIC_WRITE, OPEN_EXISTING));
    if (!file.IsValid()) {
        return false;
    }
    LARGE_INTEGER at{};
    at.QuadPart = size;
    bool ok = ::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get());
    if (!file.Close()) {
        ok = false;
    }
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // A folder does not open without the backup flag; a pipe, a console or a serial port
    // opens but is no disk file and is never read (it could block the reader).
    Handle file(OpenForReading(path));
    if (!file.IsValid() || ::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return false;
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) {
        bytes.reserve(static_cast<size_t>(size.QuadPart));
    }
    const bool ok = ReadAll(file.Get(), [&bytes](const char* data, size_t n) {
        bytes.append(data, n);
        return true;
    });
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceThroughTemp(
        path, [bytes](HANDLE file) { return WriteAll(file, bytes.data(), bytes.size()); });
}

void RemoveStaleTempFiles(const std::string& folder) {
    std::vector<std::string> stale;
    ForEachName(folder, [&stale](const WIN32_FIND_DATAW& data) {
        const std::string name = Narrow(data.cFileName);
        if (IsTempFileName(name) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            stale.push_back(name);
        }
    });
    const std::string prefix = folder.empty() ? std::string() : folder + Platform::kSeparator;
    for (const auto& name : stale) {
        ::DeleteFileW(Wide(prefix + name).c_str());
    }
}

int64_t FileSize(const std::string& path) {
    const PathFacts facts = FactsOfPath(path);
    return facts.exists && facts.isRegular ? facts.size : -1;
}

bool FileExists(const std::string& path) {
    const PathFacts facts = FactsOfPath(path);
    return facts.exists && !facts.isDirectory;
}

bool DirectoryExists(const std::string& path) {
    return FactsOfPath(path).isDirectory;
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileW(Wide(path).c_str()) != 0;
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
    Handle in(OpenForReading(from));
    if (!in.IsValid() || ::GetFileType(in.Get()) != FILE_TYPE_DISK) {
        return false;
    }
    // Goes through the atomic replace so that a crash never leaves a half copy behind.
    return ReplaceThroughTemp(to, [&in](HANDLE out) {
        return ReadAll(in.Get(),
                       [out](const char* data, size_t n) { return WriteAll(out, data, n); });
    });
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    // The root is never made: "C:\", "\", or "\\server\share\" of a network path.
    size_t start = 1;
    if (path.size() >= 2 && path[1] == ':') {
        start = 3;
    } else if (path.size() >= 2 && Platform::IsSeparator(path[0]) &&
               Platform::IsSeparator(path[1])) {
        start = 2;
        for (int part = 0; part < 2 && start < path.size(); ++part) {
            while (start < path.size() && !Platform::IsSeparator(path[start])) {
                ++start;
            }
            ++start;
        }
    }
    for (size_t pos = start; pos <= path.size(); ++pos) {
        if (pos < path.size() && !Platform::IsSeparator(path[pos])) {
            continue;
        }
        const std::string prefix = path.substr(0, pos);
        if (prefix.empty() || Platform::IsSeparator(prefix.back())) {
            continue;
        }
        if (!::CreateDirectoryW(Wide(prefix).c_str(), nullptr) && !DirectoryExists(prefix)) {
            return false;
        }
    }
    return DirectoryExists(path);
}

FileStamp StampOf(const std::string& path) {
    // Through a handle, which also gives the file's identity; opening follows a link and
    // needs no access right. Where it cannot be opened, the attributes without identity.
    Handle file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FileStamp stamp;
    if (file.IsValid() && StampOfHandle(file.Get(), stamp)) {
        return stamp;
    }
    const PathFacts facts = FactsOfPath(path);
    if (!facts.exists) {
        return FileStamp{};
    }
    stamp.size = facts.size;
    stamp.modifiedNs = NanosecondsSince1970(facts.modified);
    return stamp;
}

bool ReadFileRange(const std::string& path, int64_t offset, std::size_t maxBytes,
                   std::string& bytes, FileStamp& stamp) {
    bytes.clear();
    stamp = FileStamp{};
    if (offset < 0) {
        return false;
    }
    Handle file(OpenForReading(path));
    if (!file.IsValid() || ::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        return false;
    }
    if (offset < size.QuadPart) {
        bytes.resize(static_cast<std::size_t>(
            std::min<int64_t>(static_cast<int64_t>(maxBytes), size.QuadPart - offset)));
    }
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    if (!bytes.empty() && !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) {
        bytes.clear();
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t left = bytes.size() - got;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::ReadFile(file.Get(), bytes.data() + got, chunk, &n, nullptr)) {
            bytes.clear();
            return false;
        }
        if (n == 0) {
            break;  // cut shorter meanwhile: the stamp below tells
        }
        got += n;
    }
    bytes.resize(got);
    if (!StampOfHandle(file.Get(), stamp)) {
        bytes.clear();
        return false;
    }
    return true;
}

std::vector<DirEntry> ListDirectory(const std::string& pattern) {
    std::vector<DirEntry> entries;
    const Internal::ListPattern split = Internal::SplitListPattern(pattern);
    ForEachName(split.folder, [&](const WIN32_FIND_DATAW& data) {
        const std::string name = Narrow(data.cFileName);
        if (!MatchesWildcard(name, split.namePattern)) {
            return;
        }
        DirEntry item;
        item.name = name;
        item.fullPath = split.pathPrefix + name;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            const PathFacts facts = FollowReparsePoint(item.fullPath);
            item.isDirectory = facts.isDirectory;
            item.isRegular = facts.isRegular;
        } else {
            item.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            item.isRegular =
                !item.isDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        }
        entries.push_back(std::move(item));
    });
    return entries;
}

}  // namespace FileSystem
