#include "persist/CommitJournal.h"

#include <set>

#include "persist/RecordBytes.h"
#include "platform/FileSystem.h"

namespace {

constexpr std::string_view kMagic = "SNTJRNL2";
// An earlier form: the inbox files by path only.
constexpr std::string_view kMagicPathsOnly = "SNTJRNL1";

using RecordBytes::PutText;
using RecordBytes::PutU64;
using RecordBytes::Reader;

}  // namespace

std::string CCommitJournal::Encode() const {
    std::string out(kMagic);
    PutU64(out, replacements.size());
    for (const Replacement& r : replacements) {
        PutText(out, r.temporaryPath);
        PutText(out, r.finalPath);
        PutU64(out, static_cast<uint64_t>(r.size));
    }
    PutText(out, logPath);
    PutText(out, oldLogPath);
    PutU64(out, static_cast<uint64_t>(log.sizeBefore));
    PutU64(out, log.entries.size());
    for (const std::string& entry : log.entries)
        PutText(out, entry);
    PutU64(out, processedFiles.size());
    for (const ProcessedFile& file : processedFiles) {
        PutText(out, file.path);
        PutU64(out, file.stamp.device);
        PutU64(out, file.stamp.fileId);
        PutU64(out, static_cast<uint64_t>(file.stamp.size));
        PutU64(out, static_cast<uint64_t>(file.stamp.modifiedNs));
    }
    RecordBytes::PutChecksum(out);
    return out;
}

bool CCommitJournal::Decode(std::string_view bytes, CCommitJournal& journal) {
    journal = CCommitJournal{};
    const bool pathsOnly = bytes.substr(0, kMagic.size()) == kMagicPathsOnly;
    if (bytes.substr(0, kMagic.size()) != kMagic && !pathsOnly)
        return false;
    std::string_view body;
    if (!RecordBytes::ChecksummedBody(bytes, kMagic.size(), body))
        return false;

    Reader in(body);
    uint64_t n;
    if (!in.Count(n))
        return false;
    journal.replacements.resize(n);
    for (Replacement& r : journal.replacements) {
        if (!in.Text(r.temporaryPath) || !in.Text(r.finalPath) || !in.I64(r.size))
            return false;
    }
    if (!in.Text(journal.logPath) || !in.Text(journal.oldLogPath) ||
        !in.I64(journal.log.sizeBefore) || !in.Count(n))
        return false;
    journal.log.entries.resize(n);
    for (std::string& entry : journal.log.entries) {
        if (!in.Text(entry))
            return false;
    }
    if (!in.Count(n))
        return false;
    journal.processedFiles.resize(n);
    for (ProcessedFile& file : journal.processedFiles) {
        if (!in.Text(file.path))
            return false;
        if (!pathsOnly && (!in.U64(file.stamp.device) || !in.U64(file.stamp.fileId) ||
                           !in.I64(file.stamp.size) || !in.I64(file.stamp.modifiedNs)))
            return false;
    }
    return in.AtEnd();
}

bool CCommitJournal::Complete(std::vector<std::string>* undeleted) const {
    std::set<std::string> folders;
    for (const Replacement& r : replacements) {
        // A temporary file that is gone was put in place by an earlier attempt.
        const int64_t size = FileSystem::FileSize(r.temporaryPath);
        if (size < 0)
            continue;
        // Synced before the journal was written, so it is whole; anything else is not
        // ours, and a half file never replaces a good one.
        if (size != r.size || !FileSystem::RenameOver(r.temporaryPath, r.finalPath))
            return false;
        folders.insert(FileSystem::FolderOf(r.finalPath));
    }
    for (const std::string& folder : folders)
        FileSystem::SyncFolder(folder);

    // The inbox files go only once their entries are in the log as well.
    if (!log.entries.empty() && !logPath.empty() &&
        !CLogWriter(logPath, oldLogPath).WriteBatch(log, true))
        return false;

    // The records of these files are in the data files and the log now.
    folders.clear();
    for (const ProcessedFile& file : processedFiles) {
        const std::string& path = file.path;
        // Written to (or replaced) since it was read: kept for the next pass, which
        // applies what is new in it.
        if (!(file.stamp == FileSystem::FileStamp{}) && !(FileSystem::StampOf(path) == file.stamp))
            continue;
        if (FileSystem::RemoveFile(path) || !FileSystem::FileExists(path)) {
            folders.insert(FileSystem::FolderOf(path));
        } else if (undeleted != nullptr) {
            undeleted->push_back(path);
        }
    }
    for (const std::string& folder : folders)
        FileSystem::SyncFolder(folder);
    return true;
}
