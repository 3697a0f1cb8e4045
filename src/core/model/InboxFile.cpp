#include "model/InboxFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/ByteIO.h"
#include "base/TextUtil.h"
#include "platform/Platform.h"

InboxRecordHeader InboxRecordHeader::Decode(const uint8_t* p) {
    InboxRecordHeader h;
    std::memcpy(h.raw.data(), p, kSize);
    h.objectNumber = ByteIO::GetI32(p + kObjectNumberAt);
    h.messageTime = DateTime(ByteIO::GetF64(p + kMessageTimeAt));
    h.receiveTime = DateTime(ByteIO::GetF64(p + kReceiveTimeAt));
    h.flags = ByteIO::GetU32(p + kFlagsAt);
    h.longitude = ByteIO::GetF64(p + kLongitudeAt);
    h.latitude = ByteIO::GetF64(p + kLatitudeAt);
    h.speed = ByteIO::GetF64(p + kSpeedAt);
    h.textLength = ByteIO::GetI32(p + kTextLengthAt);
    return h;
}

std::string SplitFileName(const std::string& path, bool wantExtension) {
    const std::size_t slash = Platform::LastSeparator(path);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    // A dot that belongs to a folder name is no extension of the file.
    if (dot == std::string::npos || dot < nameStart)
        return std::string();
    if (wantExtension)
        return path.substr(dot + 1);
    return path.substr(nameStart, dot - nameStart);
}

namespace {

bool PairInRange(const std::string& base, std::size_t at, int highest) {
    const int32_t value = TextUtil::LeadingInt(std::string_view(base).substr(at, 2));
    return value >= 0 && value <= highest;
}

}  // namespace

bool IsInboxFileName(const std::string& path) {
    const std::string base = SplitFileName(path, false);
    const std::string extension = SplitFileName(path, true);
    if (base.size() != 8)
        return false;
    if (extension.size() != 3 && extension.size() != 4)
        return false;
    return PairInRange(base, 0, 31) && PairInRange(base, 2, 24) && PairInRange(base, 4, 60) &&
           PairInRange(base, 6, 60);
}

int ReadInboxRecords(std::string_view bytes,
                     const std::function<bool(const InboxRecord&)>& onRecord) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::size_t pos = 0;
    int count = 0;
    while (bytes.size() - pos >= InboxRecordHeader::kSize) {
        InboxRecord record;
        record.header = InboxRecordHeader::Decode(data + pos);
        pos += InboxRecordHeader::kSize;
        // Compared as unsigned, so a negative length counts as more than remains.
        const auto textLength = static_cast<uint32_t>(record.header.textLength);
        if (bytes.size() - pos < textLength)
            break;
        const std::size_t kept = std::min<std::size_t>(textLength, InboxRecord::kMaxTextLength);
        record.text.assign(bytes.data() + pos, kept);
        pos += textLength;
        ++count;
        if (!onRecord(record))
            break;
        if ((record.header.flags & InboxRecordHeader::kLastRecordFlag) != 0)
            break;
    }
    return count;
}

bool IsCompleteInboxFile(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < InboxRecordHeader::kSize)
            return false;
        const uint32_t flags = ByteIO::GetU32(data + pos + InboxRecordHeader::kFlagsAt);
        const auto textLength =
            static_cast<uint32_t>(ByteIO::GetI32(data + pos + InboxRecordHeader::kTextLengthAt));
        pos += InboxRecordHeader::kSize;
        if (bytes.size() - pos < textLength)
            return false;
        pos += textLength;
        if ((flags & InboxRecordHeader::kLastRecordFlag) != 0)
            return true;
    }
    // Whole records without the last one's flag: the writer may be adding more.
    return false;
}

std::string EncodeInboxRecord(const InboxRecordHeader& header, std::string_view text) {
    std::array<uint8_t, InboxRecordHeader::kSize> out = header.raw;
    uint8_t* p = out.data();
    ByteIO::PutI32(p + InboxRecordHeader::kObjectNumberAt, header.objectNumber);
    ByteIO::PutF64(p + InboxRecordHeader::kMessageTimeAt, header.messageTime.date);
    ByteIO::PutF64(p + InboxRecordHeader::kReceiveTimeAt, header.receiveTime.date);
    ByteIO::PutU32(p + InboxRecordHeader::kFlagsAt, header.flags);
    ByteIO::PutF64(p + InboxRecordHeader::kLongitudeAt, header.longitude);
    ByteIO::PutF64(p + InboxRecordHeader::kLatitudeAt, header.latitude);
    ByteIO::PutF64(p + InboxRecordHeader::kSpeedAt, header.speed);
    ByteIO::PutI32(p + InboxRecordHeader::kTextLengthAt, static_cast<int32_t>(text.size()));
    std::string bytes(reinterpret_cast<const char*>(out.data()), out.size());
    bytes.append(text);
    return bytes;
}

int32_t TruncateTowardZero(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
