#include "persist/RecordBytes.h"

#include "base/Fnv1a.h"

namespace RecordBytes {

void PutU64(std::string& out, uint64_t v) {
    for (int k = 0; k < 8; ++k)
        out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

void PutText(std::string& out, std::string_view text) {
    PutU64(out, text.size());
    out.append(text);
}

void PutChecksum(std::string& out) {
    PutU64(out, Fnv1a64(out));
}

bool ChecksummedBody(std::string_view bytes, std::size_t magicSize, std::string_view& body) {
    if (bytes.size() < magicSize + 8)
        return false;
    uint64_t stored;
    Reader tail(bytes.substr(bytes.size() - 8));
    if (!tail.U64(stored) || stored != Fnv1a64(bytes.substr(0, bytes.size() - 8)))
        return false;
    body = bytes.substr(magicSize, bytes.size() - 8 - magicSize);
    return true;
}

bool Reader::U64(uint64_t& v) {
    if (bytes_.size() - pos_ < 8)
        return false;
    v = 0;
    for (int k = 0; k < 8; ++k)
        v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[pos_ + k])) << (8 * k);
    pos_ += 8;
    return true;
}

bool Reader::I64(int64_t& v) {
    uint64_t u;
    if (!U64(u))
        return false;
    v = static_cast<int64_t>(u);
    return true;
}

bool Reader::Text(std::string& text) {
    uint64_t size;
    if (!U64(size) || bytes_.size() - pos_ < size)
        return false;
    text.assign(bytes_.substr(pos_, size));
    pos_ += size;
    return true;
}

bool Reader::Count(uint64_t& n, std::size_t leastItemBytes) {
    return U64(n) && n <= Left() / leastItemBytes;
}

}  // namespace RecordBytes
