#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"

// A table written as a CSV file the way a spreadsheet on a Russian-language system opens
// it with a double click: UTF-8 with a byte-order mark, fields separated by ';', lines
// ending in CR LF, a field quoted with '"' when it holds ';', '"', CR or LF (a quote inside
// doubled), numbers with a decimal comma, times "dd.MM.yyyy HH:mm:ss".
//
// The rows are streamed: they go to a temporary file beside the target in chunks, so a
// table of a million rows never lies in memory whole, and the temporary is synced and
// renamed over the target only by Finish. A table given up (destroyed unfinished, or one
// that failed) leaves a file there before as it was and removes its temporary.
class CCsvTable {
public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    // `path` in Windows-1251, as every path of the core; the headers in UTF-8.
    CCsvTable(std::string path, const std::vector<std::string>& headersUtf8);
    ~CCsvTable();
    CCsvTable(const CCsvTable&) = delete;
    CCsvTable& operator=(const CCsvTable&) = delete;

    // One row of UTF-8 fields. False once the file could not be written (the rows after
    // that are dropped; Finish then fails).
    bool AddRow(const std::vector<std::string>& fieldsUtf8);
    // Writes what is buffered, syncs it and renames the temporary over the target. False,
    // with `problem` (Windows-1251), when anything could not be written.
    bool Finish(std::string& problem);
    // Gives the table up: the temporary is removed, the target left alone.
    void Abandon();
    int64_t RowCount() const { return rows_; }

    // One field as it goes into a line: quoted when it has to be.
    static std::string Field(std::string_view utf8);
    // The fields joined by ';' and ended with CR LF.
    static std::string Line(const std::vector<std::string>& fieldsUtf8);
    // "1234,57" with `decimals` places (rounded); empty for a value that is no number.
    static std::string Decimal(double value, int decimals);
    // A UTC stamp as the program shows it: shifted by the display offset (shown = stamp -
    // offset minutes), "dd.MM.yyyy HH:mm:ss"; empty for "never" or an invalid value.
    static std::string ShownTime(const DateTime& utc, int32_t offsetMinutes);
    // The date of a display-time value, "dd.MM.yyyy".
    static std::string Date(const DateTime& shown);
    // A span as hours, minutes and seconds, "00:03:15"; the hours go on past a day
    // ("27:00:00"); a negative span (a clock set back) is "00:00:00".
    static std::string Span(double days);

private:
    bool Flush(bool sync);

    std::string path_;
    std::string temporary_;
    std::string buffer_;
    int64_t rows_ = 0;
    bool failed_ = false;
    bool open_ = false;
};
