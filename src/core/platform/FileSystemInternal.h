#pragma once

#include <mutex>
#include <string>
#include <string_view>

// Pieces the Linux and the Windows file operations share; not for use outside them.
namespace FileSystem::Internal {

// The temporary file an atomic replace of `path` writes before the rename.
std::string ReplaceTempPath(const std::string& path);
// Every atomic replace in the process goes through the same temporary name per target,
// so two threads replacing the same file at once (the worker saving counters while the
// GUI saves the layout) would otherwise write into one temporary file together.
std::mutex& ReplaceMutex();

// A ListDirectory pattern taken apart at its last separator.
struct ListPattern {
    std::string folder;       // the folder to list ("." without any folder part)
    std::string pathPrefix;   // what goes before a name in a full path, separator included
    std::string namePattern;  // the wildcard the names are matched against
};
ListPattern SplitListPattern(const std::string& pattern);

}  // namespace FileSystem::Internal
