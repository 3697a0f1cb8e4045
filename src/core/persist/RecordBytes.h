#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The words of the program's own binary files (the commit journal, the inbox ledger):
// numbers as 8 bytes little-endian, texts as their length followed by their bytes.
namespace RecordBytes {

void PutU64(std::string& out, uint64_t v);
void PutText(std::string& out, std::string_view text);
// Ends a file: the FNV-1a checksum of everything before it.
void PutChecksum(std::string& out);
// The words between a file's magic text (`magicSize` bytes, compared by the caller) and
// its checksum, when the file is long enough and the checksum holds.
bool ChecksummedBody(std::string_view bytes, std::size_t magicSize, std::string_view& body);

// Reads the words back, never past the end: every read says whether it could.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool U64(uint64_t& v);
    bool I64(int64_t& v);
    bool Text(std::string& text);
    // A count of items of at least `leastItemBytes` each: a count beyond what is left
    // is damage.
    bool Count(uint64_t& n, std::size_t leastItemBytes = 8);
    std::size_t Left() const { return bytes_.size() - pos_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

}  // namespace RecordBytes
