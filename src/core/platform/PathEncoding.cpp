#include "platform/PathEncoding.h"

#include <cstddef>

#include "base/Cp1251.h"

namespace {

// Length of the UTF-8 sequence that starts at `text[at]`, 0 when none starts there
// (a stray continuation byte, a bad lead byte, a cut or malformed tail).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string CPathEncoding::FirstCharacterWithoutCp1251(std::string_view utf8) {
    std::size_t at = 0;
    while (at < utf8.size()) {
        const std::size_t length = SequenceLength(utf8, at);
        if (length == 0) {
            return std::string(utf8.substr(at, 1));
        }
        const std::string_view character = utf8.substr(at, length);
        // The converter writes '?' for a character it cannot encode; a real '?' stays
        // itself. A character fits when it comes back unchanged from Windows-1251.
        if (length > 1 && Cp1251::ToUtf8(Cp1251::FromUtf8(character)) != character) {
            return std::string(character);
        }
        at += length;
    }
    return {};
}
