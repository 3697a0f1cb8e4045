#pragma once

#include <string>
#include <string_view>

// Sentrel keeps every path as Windows-1251 text (Sentrel.ini stores them so, and the core
// builds file names from them). A folder or file whose name has a character without a
// Windows-1251 form (an 'ü' in /home/jürgen, a 'ë' in C:\Users\Zoë) cannot be kept: its
// '?' stand-in names another, usually missing, place, and every write there fails. Such a
// path is refused where the system hands it over (program folder, chosen files and
// folders), with a message that names the path and the character.
class CPathEncoding {
public:
    // The first character of `utf8` (a native path in UTF-8) that has no Windows-1251
    // form, as UTF-8; empty when the whole path has one. A byte that does not start a
    // valid UTF-8 sequence counts as a character without a form and is returned alone.
    static std::string FirstCharacterWithoutCp1251(std::string_view utf8);
    static bool FitsCp1251(std::string_view utf8) {
        return FirstCharacterWithoutCp1251(utf8).empty();
    }
};
