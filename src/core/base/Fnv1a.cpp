#include "base/Fnv1a.h"

uint64_t Fnv1a64(std::string_view bytes, uint64_t state) {
    for (const char c : bytes) {
        state ^= static_cast<uint8_t>(c);
        state *= 1099511628211ull;
    }
    return state;
}
