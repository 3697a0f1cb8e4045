#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/DateTime.h"

// The fixed 80-byte header of one record of an inbox file. The decoded fields are the
// ones message processing uses; `raw` keeps all 80 bytes, the unread gaps included,
// because the whole header is stored per object as its last message.
struct InboxRecordHeader {
    static constexpr std::size_t kSize = 80;
    static constexpr uint32_t kAlarmFlag = 0x2;
    static constexpr uint32_t kPositionFlag = 0x4;
    static constexpr uint32_t kLastRecordFlag = 0x80000000u;

    // Byte offsets of the decoded fields.
    static constexpr std::size_t kObjectNumberAt = 0;
    static constexpr std::size_t kMessageTimeAt = 8;
    static constexpr std::size_t kReceiveTimeAt = 24;
    static constexpr std::size_t kFlagsAt = 32;
    static constexpr std::size_t kLongitudeAt = 40;
    static constexpr std::size_t kLatitudeAt = 48;
    static constexpr std::size_t kSpeedAt = 64;
    static constexpr std::size_t kTextLengthAt = 76;

    int32_t objectNumber = 0;
    DateTime messageTime;  // UTC, the terminal's stamp
    DateTime receiveTime;  // local time of receipt
    uint32_t flags = 0;
    double longitude = 0;
    double latitude = 0;
    double speed = 0;  // km/h
    int32_t textLength = 0;
    std::array<uint8_t, kSize> raw{};

    static InboxRecordHeader Decode(const uint8_t* bytes80);
};

// One record: the header and its text (Windows-1251, as many bytes as were kept).
struct InboxRecord {
    // Room the text has; longer texts are cut to this many bytes.
    static constexpr std::size_t kMaxTextLength = 1031;

    InboxRecordHeader header;
    std::string text;
};

// True when the path names a message file: base name DDHHMMSS (day 0-31, hour 0-24,
// minute and second 0-60) and an extension of 3 or 4 characters.
bool IsInboxFileName(const std::string& path);
// The base name (between the last separator and the last dot) or the extension (after the last
// dot) of a path; both empty when the file name has no dot.
std::string SplitFileName(const std::string& path, bool wantExtension);

// Reads the records of a file's bytes in order and hands each to `onRecord`, which
// returns false to stop reading. Reading also stops at a record whose text would run
// past the end of the bytes (that record is lost), after a record flagged as the
// file's last, and when fewer than 80 bytes remain. A text longer than the record's
// room is cut, and reading goes on at the next record boundary. Returns the number of
// records handed over.
int ReadInboxRecords(std::string_view bytes,
                     const std::function<bool(const InboxRecord&)>& onRecord);

// True when the bytes hold a whole record flagged as the file's last, every record before
// it whole. A terminal writing record by record leaves a file that ends on a record
// boundary between records, so such a file without the flag is not (yet) complete, nor
// is one shorter than a header or one that ends inside a header or a text; the worker
// takes those once they have not changed for a while.
bool IsCompleteInboxFile(std::string_view bytes);

// Truncates toward zero, saturating at the int32 range (NaN gives 0): speeds and counts
// come from files and must not overflow the conversion.
int32_t TruncateTowardZero(double value);

// The bytes of one record as the terminal system writes it: the header's `raw` bytes
// with the decoded fields written over them and `textLength` set to the text's size,
// followed by the text.
std::string EncodeInboxRecord(const InboxRecordHeader& header, std::string_view text);
