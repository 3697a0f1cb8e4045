// The parts of the file operations that do not depend on the system.
#include "platform/FileSystem.h"

#include "platform/FileSystemInternal.h"
#include "platform/Platform.h"

namespace FileSystem {

namespace {

constexpr std::string_view kTempSuffix = ".~sentrel-tmp";

}  // namespace

namespace Internal {

std::string ReplaceTempPath(const std::string& path) {
    return path + std::string(kTempSuffix);
}

std::mutex& ReplaceMutex() {
    static std::mutex mutex;
    return mutex;
}

ListPattern SplitListPattern(const std::string& pattern) {
    const auto slash = Platform::LastSeparator(pattern);
    if (slash == std::string::npos) {
        return {".", "", pattern};
    }
    return {FolderOf(pattern), pattern.substr(0, slash + 1), pattern.substr(slash + 1)};
}

}  // namespace Internal

std::string FolderOf(const std::string& path) {
    const auto slash = Platform::LastSeparator(path);
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return path.substr(0, 1);  // the root
    }
#ifdef _WIN32
    // "C:\name": the folder is the drive's root, not "C:" (which is the drive's current
    // folder).
    if (slash == 2 && path[1] == ':') {
        return path.substr(0, 3);
    }
#endif
    return path.substr(0, slash);
}

bool IsTempFileName(std::string_view name) {
    return name.size() > kTempSuffix.size() && name.ends_with(kTempSuffix);
}

std::string TemporaryPathFor(const std::string& path, const std::string& tag) {
    return path + "." + tag + std::string(kTempSuffix);
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    // Greedy match with one backtrack point: the last '*' seen.
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace FileSystem
