#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends processed records to Sentrel.log and keeps it to about 10 MiB by moving it to
// SntOld.log. One writer only (whoever commits the intake), so no lock is needed.
// Writing reports whether every entry reached the log: the log is part of the intake's
// commit, which keeps a batch's inbox files until its entries are written. A rotation
// that fails is no failure: the entries then go on the end of the big log.
//
// The log is written an entry (a record's header line and its outcome) at a time, and
// rotated only between entries, so an entry is never split between the two files.
class CLogWriter {
public:
    static constexpr int64_t kRotateAboveBytes = 10485760;

    // The entries of one commit and the log's size before any of them was written. The
    // same batch may be written again after a crash interrupted it: writing starts over
    // from `sizeBefore`, so every entry ends up in the log exactly once.
    struct Batch {
        int64_t sizeBefore = 0;
        std::vector<std::string> entries;
    };

    CLogWriter(std::string logPath, std::string oldLogPath);

    // Writes the bytes unchanged as one entry: the caller supplies "\r\n" where a line
    // ends. False when it could not be written.
    bool AppendLog(const std::string& text) const;
    // Writes a batch (see Batch); with `sync` it is on the disk when this returns. False
    // when some entry could not be written (none after it is tried): writing the same
    // batch again later puts each entry in the log once.
    [[nodiscard]] bool WriteBatch(const Batch& batch, bool sync) const;
    // The log's present size (0 when there is none).
    int64_t CurrentSize() const;

    const std::string& logPath() const { return logPath_; }
    const std::string& oldLogPath() const { return oldLogPath_; }

private:
    // Moves the log to SntOld.log and starts an empty one; false (and the log kept)
    // when the old log cannot be written.
    bool Rotate() const;

    std::string logPath_;
    std::string oldLogPath_;
};
