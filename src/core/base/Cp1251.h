#pragma once

#include <string>
#include <string_view>

// Every text the system reads or writes in a file is Windows-1251; the core keeps such
// texts as std::string of those bytes. Source literals are UTF-8 and are converted once.
namespace Cp1251 {

// Windows-1251 bytes to UTF-8.
std::string ToUtf8(std::string_view cp1251);
// UTF-8 to Windows-1251 bytes; characters without a Windows-1251 form become '?'.
// Invalid UTF-8 sequences become '?' as well.
std::string FromUtf8(std::string_view utf8);
// Windows-1251 bytes to UTF-16 and back, for the system calls that take UTF-16 names.
// UTF-16 units without a Windows-1251 form (surrogates included) become '?'.
std::u16string ToUtf16(std::string_view cp1251);
std::string FromUtf16(std::u16string_view utf16);
// Byte-wise comparison, as the original texts are compared: <0, 0, >0.
int Compare(std::string_view a, std::string_view b);

}  // namespace Cp1251

// Shorthand for a UTF-8 literal held as Windows-1251 bytes, e.g. W("Тревога").
inline std::string W(std::string_view utf8) {
    return Cp1251::FromUtf8(utf8);
}
