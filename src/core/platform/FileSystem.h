#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The few file operations the core needs, in one place so that the Windows build only
// has to replace this file's implementation.
namespace FileSystem {

// Reads a whole file into bytes. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Replaces a file whole and atomically: the bytes go to a temporary file in the same
// folder, are flushed and synced, and the temporary file is renamed over the target
// (then the folder is synced). A failure leaves the previous file untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// Removes leftovers of interrupted atomic writes in a folder (start-up).
void RemoveStaleTempFiles(const std::string& folder);
// True when `name` is a temporary name of WriteFileAtomically.
bool IsTempFileName(std::string_view name);

// Size in bytes, or -1 when the file does not exist or is not a regular file.
int64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Copies a file over another, overwriting it.
bool CopyFileOverwrite(const std::string& from, const std::string& to);
bool MakeDirectories(const std::string& path);

struct FileStamp {
    int64_t size = -1;
    int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

struct DirEntry {
    std::string name;      // file name without folder
    std::string fullPath;  // folder + '/' + name
    bool isDirectory = false;
};
// Lists the entries matching a pattern "folder/name-pattern", where the name pattern may
// hold '*' (any run of characters) and '?' (one character). The folder is the text
// before the last '/'; so "/opt/QMX5/Inbox*.007" searches /opt/QMX5 for "Inbox*.007".
// Entries come in the order the directory gives them; "." and ".." are included when
// they match, as the platform's listing does.
std::vector<DirEntry> ListDirectory(const std::string& pattern);
// Wildcard match of a file name, case-sensitive.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace FileSystem
