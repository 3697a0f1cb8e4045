#include "intake/InboxScanner.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "base/TextUtil.h"
#include "model/InboxFile.h"
#include "platform/FileSystem.h"

namespace {

// A file of one object with where its name puts it in time.
struct Timed {
    int month;        // -1: the previous month, 0: this one
    int64_t seconds;  // from the start of the name's month
    std::string path;
};

Timed TimeOf(std::string path, int today) {
    const std::string base = SplitFileName(path, false);
    const auto pair = [&](std::size_t at) {
        return static_cast<int64_t>(TextUtil::LeadingInt(std::string_view(base).substr(at, 2)));
    };
    const int64_t day = pair(0);
    const int month = day > today + 1 ? -1 : 0;
    const int64_t seconds = ((day * 24 + pair(2)) * 60 + pair(4)) * 60 + pair(6);
    return {month, seconds, std::move(path)};
}

bool SameInstant(const Timed& a, const Timed& b) {
    return a.month == b.month && a.seconds == b.seconds;
}

// The files in the order of their times; the files of one instant by modification time,
// then by name.
void SortByTime(std::vector<Timed>& files) {
    std::sort(files.begin(), files.end(), [](const Timed& a, const Timed& b) {
        if (!SameInstant(a, b))
            return a.month != b.month ? a.month < b.month : a.seconds < b.seconds;
        return a.path < b.path;
    });
    for (auto run = files.begin(); run != files.end();) {
        auto end = run + 1;
        while (end != files.end() && SameInstant(*run, *end))
            ++end;
        if (end - run > 1) {
            std::vector<std::pair<int64_t, Timed>> stamped;
            for (auto it = run; it != end; ++it)
                stamped.emplace_back(FileSystem::StampOf(it->path).modifiedNs, std::move(*it));
            std::stable_sort(stamped.begin(), stamped.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& [modified, file] : stamped)
                *run++ = std::move(file);
        }
        run = end;
    }
}

}  // namespace

std::vector<CInboxScanner::Entry> CInboxScanner::List(const std::string& inboxFolder,
                                                      const std::vector<int32_t>& shownNumbers,
                                                      DateTime utcNow) {
    std::vector<Entry> result;
    if (shownNumbers.empty())
        return result;
    // Extension -> the folder's message files with it.
    std::unordered_map<std::string, std::vector<std::string>> byExtension;
    for (FileSystem::DirEntry& entry : FileSystem::ListDirectory(inboxFolder + "*")) {
        if (entry.name == "." || entry.name == ".." || entry.isDirectory || !entry.isRegular)
            continue;
        if (!IsInboxFileName(entry.fullPath))
            continue;
        byExtension[SplitFileName(entry.fullPath, true)].push_back(std::move(entry.fullPath));
    }
    if (byExtension.empty())
        return result;

    const int today = utcNow.ToCalendar().day;
    std::set<int32_t> listed;
    for (const int32_t number : shownNumbers) {
        // Two objects of one number share their files; the first takes them.
        if (!listed.insert(number).second)
            continue;
        const auto found = byExtension.find(TextUtil::Format("%03i", number));
        if (found == byExtension.end())
            continue;
        std::vector<Timed> files;
        for (std::string& path : found->second)
            files.push_back(TimeOf(std::move(path), today));
        SortByTime(files);
        for (Timed& file : files)
            result.push_back({std::move(file.path), number});
    }
    return result;
}

std::string CInboxScanner::ListedFolder(const std::string& inboxFolder) {
    return FileSystem::FolderOf(inboxFolder + "*");
}
