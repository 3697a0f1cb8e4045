#include "base/TextUtil.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace TextUtil {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The power of ten of the first non-zero digit of a plain decimal number whose mantissa
// is number[0, mantissaEnd) and whose exponent, if any, follows it after 'e' (saturated
// far beyond any double's range). A mantissa of zeros gives 0.
long long DecimalExponent(std::string_view number, std::size_t mantissaEnd) {
    constexpr long long kFar = 1LL << 40;
    long long exponent = 0;
    if (mantissaEnd < number.size()) {
        std::size_t k = mantissaEnd + 1;
        const bool negative = number[k] == '-';
        if (number[k] == '+' || number[k] == '-')
            ++k;
        for (; k < number.size(); ++k)
            exponent = std::min(exponent * 10 + (number[k] - '0'), kFar);
        if (negative)
            exponent = -exponent;
    }
    const std::string_view mantissa = number.substr(0, mantissaEnd);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos)
        return 0;
    const auto place = static_cast<long long>(point) - static_cast<long long>(first);
    return exponent + (first < point ? place - 1 : place);
}

// Where the digits of a number start: after leading blanks and a sign.
std::size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

int32_t LeadingInt(std::string_view text) {
    bool negative = false;
    std::size_t i = SkipBlanksAndSign(text, negative);
    long long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i] - '0');
        if (v > (1LL << 40))
            v = 1LL << 40;  // saturate, keep going to the end of digits
        ++i;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

double LeadingDouble(std::string_view text) {
    bool negative = false;
    std::size_t i = SkipBlanksAndSign(text, negative);
    // Only plain decimal numbers are read: digits, one '.', an exponent with digits.
    std::size_t j = i;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
        ++j;
    if (j < text.size() && text[j] == '.') {
        ++j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
    }
    if (j == i || (j == i + 1 && text[i] == '.'))
        return 0.0;
    const std::size_t mantissaEnd = j;
    if (j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-'))
            ++k;
        if (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
            while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])))
                ++k;
            j = k;
        }
    }
    double v = 0.0;
    const auto res = std::from_chars(text.data() + i, text.data() + j, v);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the range either way; as strtod, too large is infinity and too small
        // (underflow) is zero. The decimal exponent of the first significant digit tells
        // which: it is far above 300 or far below -300 here.
        v = DecimalExponent(text.substr(i, j - i), mantissaEnd - i) < 0
                ? 0.0
                : std::numeric_limits<double>::infinity();
    } else if (res.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -v : v;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, args);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string current;
    for (char c : bytes) {
        if (c == '\r') {
            lines.push_back(std::move(current));
            current.clear();
        } else if (c != '\n') {
            current += c;
        }
    }
    return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace TextUtil
