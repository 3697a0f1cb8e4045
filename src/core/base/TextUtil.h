#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by every reader and writer of the core.
namespace TextUtil {

// C atoi: leading blanks, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Values beyond the int32 range saturate.
int32_t LeadingInt(std::string_view text);
// C atof in the "C" locale: leading blanks, a number with '.' as decimal point; reading
// stops at the first character that cannot continue the number; no number gives 0.
// Beyond the range of a double, as strtod: too large is +-infinity, too small is +-0.
double LeadingDouble(std::string_view text);
// printf into a std::string. Numbers are formatted in the "C" numeric locale, which
// the application keeps in force for the whole run.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The byte-line rule of every text file: CR ends a line, LF is dropped wherever it
// occurs, text after the last CR is not part of any line. Empty lines are kept.
std::vector<std::string> SplitLines(std::string_view bytes);

bool StartsWith(std::string_view text, std::string_view prefix);
bool Contains(std::string_view text, std::string_view part);

}  // namespace TextUtil
