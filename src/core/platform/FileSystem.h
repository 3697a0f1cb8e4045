#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The few file operations the core needs, in one place: FileSystemPosix.cpp implements
// them on Linux, FileSystemWin.cpp on Windows, FileSystem.cpp holds what both share.
namespace FileSystem {

// Reads a whole regular file into bytes. False when it cannot be opened or read, and for
// anything that is not a regular file (a FIFO or a device is never opened blocking).
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Replaces a file whole and atomically: the bytes go to a temporary file in the same
// folder, are flushed and synced, and the temporary file is renamed over the target
// (then the folder is synced). A failure leaves the previous file untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// Writes bytes to `path` (created or truncated) and syncs them to the disk before it
// returns. The halves of a group commit are written this way under temporary names
// and renamed into place later.
bool WriteAndSync(const std::string& path, std::string_view bytes);
// Renames `from` over `to` in one step; an existing target is replaced.
bool RenameOver(const std::string& from, const std::string& to);
// Makes the names in a folder (creations, renames, deletions) durable. Does nothing
// where the system syncs names with the files or cannot sync a folder (Windows: a rename
// with MOVEFILE_WRITE_THROUGH has reached the disk when it returns).
void SyncFolder(const std::string& folder);
// The folder part of a path: the text before the last separator ("." for a bare name,
// the root itself for a name right under it). On Windows both separators count.
std::string FolderOf(const std::string& path);
// Appends bytes to the end of a file, creating it when it is missing; with `sync` the
// bytes have reached the disk when it returns true.
bool AppendToFile(const std::string& path, std::string_view bytes, bool sync);
// Cuts an existing file to `size` bytes (or extends it with zeros).
bool TruncateFile(const std::string& path, int64_t size);
// Removes leftovers of interrupted atomic writes in a folder (start-up).
void RemoveStaleTempFiles(const std::string& folder);
// True when `name` is a temporary name of WriteFileAtomically or TemporaryPathFor.
bool IsTempFileName(std::string_view name);
// A temporary name beside `path`, distinct for every `tag`, that IsTempFileName knows
// (so leftovers are removed at start-up) and that no reader of the program ever opens.
std::string TemporaryPathFor(const std::string& path, const std::string& tag);

// Size in bytes, or -1 when the file does not exist or is not a regular file.
int64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Copies a file over another, overwriting it.
bool CopyFileOverwrite(const std::string& from, const std::string& to);
bool MakeDirectories(const std::string& path);

// What tells one version of a file from another: the file itself (device and inode on
// Linux, volume serial number and file index on Windows; 0 when not known), its size and
// its modification time (nanoseconds since 1970).
struct FileStamp {
    int64_t size = -1;
    int64_t modifiedNs = 0;
    uint64_t device = 0;
    uint64_t fileId = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);
// Reads at most `maxBytes` bytes of a regular file from `offset` on (fewer at its end)
// into `bytes`, with the stamp of the file that was read, taken from the open file after
// reading: a file changed or replaced meanwhile shows in it. False when the file cannot
// be opened or read, and for anything that is not a regular file (never opened blocking).
bool ReadFileRange(const std::string& path, int64_t offset, std::size_t maxBytes,
                   std::string& bytes, FileStamp& stamp);

struct DirEntry {
    std::string name;      // file name without folder
    std::string fullPath;  // the pattern's folder part, its last separator, then name
    bool isDirectory = false;
    // A plain file: not a folder, FIFO, socket or device (a link counts as what it
    // points to; on Windows a reparse point, a device or an offline file is no plain file).
    bool isRegular = false;
};
// Lists the entries matching a pattern "folder/name-pattern", where the name pattern may
// hold '*' (any run of characters) and '?' (one character). The folder is the text
// before the last separator; so "/opt/QMX5/Inbox*.007" searches /opt/QMX5 for
// "Inbox*.007". The names are matched by MatchesWildcard on every system (never by the
// system's own wildcards, which on Windows also match short 8.3 names).
// Entries come in the order the directory gives them; "." and ".." are included when
// they match, as the platform's listing does.
std::vector<DirEntry> ListDirectory(const std::string& pattern);
// Wildcard match of a file name, case-sensitive.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace FileSystem
