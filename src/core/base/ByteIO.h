#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Little-endian field codecs for the binary files and inbox records. Every record is
// encoded field by field; nothing relies on the compiler's struct layout.
namespace ByteIO {

void PutI32(uint8_t* p, int32_t v);
void PutU32(uint8_t* p, uint32_t v);
void PutF64(uint8_t* p, double v);
int32_t GetI32(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
double GetF64(const uint8_t* p);

// A zero-terminated text field of `size` bytes: at most size - 1 bytes of text are
// written (longer texts are cut), the rest is zero-filled.
void PutText(uint8_t* p, std::size_t size, std::string_view text);
// Reads a text field: up to the first zero byte, or to the field's end without one.
std::string GetText(const uint8_t* p, std::size_t size);

}  // namespace ByteIO
