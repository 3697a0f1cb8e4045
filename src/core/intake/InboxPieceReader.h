#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

// Reads an inbox file in bounded pieces of whole records, so that no file is ever held
// in memory whole and the store lock is held for one piece at a time. A record is its
// 80-byte header and the text whose length the header gives.
//
// The reader reads one version of the file, the one stamped when it was listed: it
// reads no further than that version's size, and stops (Changed) as soon as the file it
// reads is no longer that version, so a piece never mixes two versions.
class CInboxPieceReader {
public:
    // A piece holds at most this many bytes, or one record when that record alone is
    // longer (a file holding one is at most CInboxWorker::kMaxInboxFileBytes).
    static constexpr std::size_t kPieceBytes = 256 * 1024;

    enum class Step {
        Piece,    // the next whole records
        End,      // no more records (see Next)
        Changed,  // the file is another version now, or cannot be read: nothing more
    };

    // Reads `path` as it was when `stamp` was taken, from `offset` (a record boundary).
    CInboxPieceReader(std::string path, const FileSystem::FileStamp& stamp, int64_t offset);

    // Hands over the next piece. The records end at the end of the version, after a
    // record flagged as the file's last, or before a record cut short (a text running
    // past the end), whose bytes stay unread: rest() holds what was read of them.
    Step Next(std::string& piece);
    // After End: the bytes after the last record handed over, as far as they were read
    // (at most one piece, and none of a record that is plainly cut short).
    const std::string& rest() const { return buffer_; }

private:
    // How many bytes the buffer should hold to make a piece.
    std::size_t Wanted() const;
    // Reads on at the end of the buffer; false when the version changed.
    bool Fill();

    std::string path_;
    FileSystem::FileStamp stamp_;
    int64_t bufferAt_;  // file offset of buffer_[0]
    std::string buffer_;
    Step state_ = Step::Piece;  // End or Changed once reading is over
};
