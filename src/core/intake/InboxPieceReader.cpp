#include "intake/InboxPieceReader.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/ByteIO.h"
#include "model/InboxFile.h"

namespace {

constexpr std::size_t kHeader = InboxRecordHeader::kSize;

const uint8_t* Bytes(std::string_view bytes, std::size_t at) {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + at;
}

// The length of the record whose header starts at `at` (the header must be there).
uint64_t RecordLength(std::string_view bytes, std::size_t at) {
    // Unsigned, as the reader of records compares it: a negative length is a huge one.
    return kHeader + static_cast<uint32_t>(
                         ByteIO::GetI32(Bytes(bytes, at + InboxRecordHeader::kTextLengthAt)));
}

// The length of the whole records at the start of `bytes` that make one piece, and
// whether the last of them is flagged as the file's last.
std::size_t WholeRecords(std::string_view bytes, bool& last) {
    std::size_t pos = 0;
    last = false;
    while (bytes.size() - pos >= kHeader) {
        const uint64_t length = RecordLength(bytes, pos);
        if (bytes.size() - pos < length)
            break;
        if (pos > 0 && pos + length > CInboxPieceReader::kPieceBytes)
            break;
        const uint32_t flags = ByteIO::GetU32(Bytes(bytes, pos + InboxRecordHeader::kFlagsAt));
        pos += static_cast<std::size_t>(length);
        if ((flags & InboxRecordHeader::kLastRecordFlag) != 0) {
            last = true;
            break;
        }
    }
    return pos;
}

}  // namespace

CInboxPieceReader::CInboxPieceReader(std::string path, const FileSystem::FileStamp& stamp,
                                     int64_t offset)
    : path_(std::move(path)), stamp_(stamp), bufferAt_(offset) {}

std::size_t CInboxPieceReader::Wanted() const {
    if (buffer_.size() < kHeader)
        return kPieceBytes;
    return static_cast<std::size_t>(std::max<uint64_t>(kPieceBytes, RecordLength(buffer_, 0)));
}

bool CInboxPieceReader::Fill() {
    const int64_t readTo = bufferAt_ + static_cast<int64_t>(buffer_.size());
    const std::size_t want = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(Wanted() - buffer_.size()), stamp_.size - readTo));
    std::string bytes;
    FileSystem::FileStamp read;
    if (!FileSystem::ReadFileRange(path_, readTo, want, bytes, read) || !(read == stamp_) ||
        bytes.size() != want)
        return false;
    buffer_ += bytes;
    return true;
}

CInboxPieceReader::Step CInboxPieceReader::Next(std::string& piece) {
    piece.clear();
    while (state_ == Step::Piece) {
        bool last = false;
        const std::size_t whole = WholeRecords(buffer_, last);
        const bool atEnd = bufferAt_ + static_cast<int64_t>(buffer_.size()) >= stamp_.size;
        // A full buffer holds every record that fits in the piece.
        if (whole > 0 && (last || atEnd || buffer_.size() >= kPieceBytes)) {
            piece.assign(buffer_, 0, whole);
            buffer_.erase(0, whole);
            bufferAt_ += static_cast<int64_t>(whole);
            if (last)
                state_ = Step::End;
            return Step::Piece;
        }
        // A first record longer than what the version holds is cut short: not read.
        const bool cut = whole == 0 && buffer_.size() >= kHeader &&
                         RecordLength(buffer_, 0) > static_cast<uint64_t>(stamp_.size - bufferAt_);
        if (atEnd || cut) {
            state_ = Step::End;
        } else if (!Fill()) {
            buffer_.clear();
            state_ = Step::Changed;
        }
    }
    return state_;
}
