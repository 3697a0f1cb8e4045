#include "persist/LogWriter.h"

#include <utility>

#include "platform/FileSystem.h"

CLogWriter::CLogWriter(std::string logPath, std::string oldLogPath)
    : logPath_(std::move(logPath)), oldLogPath_(std::move(oldLogPath)) {}

bool CLogWriter::AppendLog(const std::string& text) const {
    return WriteBatch(Batch{CurrentSize(), {text}}, false);
}

int64_t CLogWriter::CurrentSize() const {
    const int64_t size = FileSystem::FileSize(logPath_);
    return size < 0 ? 0 : size;
}

bool CLogWriter::Rotate() const {
    // Only start a fresh log once its content is safe in the old log; if the copy fails
    // the entries go on the end of the big log rather than wiping it.
    if (!FileSystem::CopyFileOverwrite(logPath_, oldLogPath_))
        return false;
    return FileSystem::TruncateFile(logPath_, 0);
}

bool CLogWriter::WriteBatch(const Batch& batch, bool sync) const {
    // Where the batch stands in the log: whatever an interrupted attempt wrote is cut
    // off again (the log only ever grows between rotations, and this batch is the only
    // writer). A log smaller than before means an interrupted attempt has rotated it
    // already; the entries before that rotation are then in the old log.
    const int64_t present = FileSystem::FileSize(logPath_);
    int64_t size = batch.sizeBefore;
    std::size_t first = 0;
    if (present >= 0 && present < batch.sizeBefore) {
        // Find the entry before which that attempt rotated.
        while (first < batch.entries.size() && size <= kRotateAboveBytes)
            size += static_cast<int64_t>(batch.entries[first++].size());
        if (size > kRotateAboveBytes && first < batch.entries.size()) {
            if (!FileSystem::TruncateFile(logPath_, 0))
                return false;
            size = 0;
        } else {
            // Not ours to explain (the log was cut from outside): append after it.
            first = 0;
            size = present;
        }
    } else if (present > batch.sizeBefore) {
        if (!FileSystem::TruncateFile(logPath_, batch.sizeBefore))
            return false;
    } else if (present < 0) {
        size = 0;
    }

    // No room or no access: the batch stops there. What part of it was written is cut
    // off and written again by the next attempt, as after a crash.
    std::string pending;
    auto flush = [&] {
        const bool written = pending.empty() || FileSystem::AppendToFile(logPath_, pending, sync);
        pending.clear();
        return written;
    };
    for (std::size_t k = first; k < batch.entries.size(); ++k) {
        if (size > kRotateAboveBytes) {
            if (!flush())
                return false;
            if (Rotate())
                size = 0;
        }
        pending += batch.entries[k];
        size += static_cast<int64_t>(batch.entries[k].size());
    }
    return flush();
}
