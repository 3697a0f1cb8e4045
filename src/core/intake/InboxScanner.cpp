#include "intake/InboxScanner.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "base/TextUtil.h"
#include "model/InboxFile.h"
#include "platform/FileSystem.h"

std::vector<CInboxScanner::Entry> CInboxScanner::List(const std::string& inboxFolder,
                                                      const std::vector<int32_t>& shownNumbers) {
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

    std::set<int32_t> listed;
    for (const int32_t number : shownNumbers) {
        // Two objects of one number share their files; the first takes them.
        if (!listed.insert(number).second)
            continue;
        const auto found = byExtension.find(TextUtil::Format("%03i", number));
        if (found == byExtension.end())
            continue;
        std::vector<std::string>& paths = found->second;
        std::sort(paths.begin(), paths.end());
        for (std::string& path : paths)
            result.push_back({std::move(path), number});
    }
    return result;
}

std::string CInboxScanner::ListedFolder(const std::string& inboxFolder) {
    return FileSystem::FolderOf(inboxFolder + "*");
}
