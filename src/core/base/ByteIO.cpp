#include "base/ByteIO.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ByteIO {

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutI32(uint8_t* p, int32_t v) {
    PutU32(p, static_cast<uint32_t>(v));
}

void PutF64(uint8_t* p, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(GetU32(p));
}

double GetF64(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(p[i]) << (8 * i);
    return std::bit_cast<double>(bits);
}

void PutText(uint8_t* p, std::size_t size, std::string_view text) {
    if (size == 0)
        return;
    std::memset(p, 0, size);
    // Stop at an embedded zero as well: the reader would stop there anyway.
    std::size_t n = std::min(text.size(), size - 1);
    const std::size_t zero = text.substr(0, n).find('\0');
    if (zero != std::string_view::npos)
        n = zero;
    std::memcpy(p, text.data(), n);
}

std::string GetText(const uint8_t* p, std::size_t size) {
    std::size_t n = 0;
    while (n < size && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace ByteIO
