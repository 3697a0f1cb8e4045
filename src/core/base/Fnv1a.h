#pragma once

#include <cstdint>
#include <string_view>

// FNV-1a, 64 bits: the checksum of the program's own binary files, and the running
// checksum of the part of an inbox file already applied. A checksum can be carried on:
// Fnv1a64(b, Fnv1a64(a)) is the checksum of a followed by b.
inline constexpr uint64_t kFnv1a64Start = 14695981039346656037ull;

uint64_t Fnv1a64(std::string_view bytes, uint64_t state = kFnv1a64Start);
