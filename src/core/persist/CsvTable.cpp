#include "persist/CsvTable.h"

#include <cmath>

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

// The rows wait in memory until there is this much of them.
constexpr std::size_t kChunkBytes = 256 * 1024;

}  // namespace

CCsvTable::CCsvTable(std::string path, const std::vector<std::string>& headersUtf8)
    : path_(std::move(path)), temporary_(FileSystem::TemporaryPathFor(path_, "csv")) {
    // A leftover of an earlier export to the same name is started over.
    buffer_.assign(kByteOrderMark);
    buffer_ += Line(headersUtf8);
    open_ = FileSystem::WriteAndSync(temporary_, {});
    failed_ = !open_;
}

CCsvTable::~CCsvTable() {
    Abandon();
}

void CCsvTable::Abandon() {
    if (open_) {
        FileSystem::RemoveFile(temporary_);
        open_ = false;
    }
    buffer_.clear();
}

bool CCsvTable::AddRow(const std::vector<std::string>& fieldsUtf8) {
    if (failed_) {
        return false;
    }
    buffer_ += Line(fieldsUtf8);
    ++rows_;
    if (buffer_.size() >= kChunkBytes) {
        return Flush(false);
    }
    return true;
}

bool CCsvTable::Flush(bool sync) {
    if (failed_ || !open_) {
        return false;
    }
    if (!FileSystem::AppendToFile(temporary_, buffer_, sync)) {
        failed_ = true;
        return false;
    }
    buffer_.clear();
    return true;
}

bool CCsvTable::Finish(std::string& problem) {
    problem.clear();
    if (!failed_ && open_ && Flush(true) && FileSystem::RenameOver(temporary_, path_)) {
        open_ = false;
        FileSystem::SyncFolder(FileSystem::FolderOf(path_));
        return true;
    }
    failed_ = true;
    Abandon();
    problem = W("Не удалось записать файл ") + path_;
    return false;
}

std::string CCsvTable::Field(std::string_view utf8) {
    if (utf8.find_first_of(";\"\r\n") == std::string_view::npos) {
        return std::string(utf8);
    }
    std::string quoted = "\"";
    for (const char c : utf8) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string CCsvTable::Line(const std::vector<std::string>& fieldsUtf8) {
    std::string line;
    for (std::size_t i = 0; i < fieldsUtf8.size(); ++i) {
        if (i > 0) {
            line += ';';
        }
        line += Field(fieldsUtf8[i]);
    }
    return line + "\r\n";
}

std::string CCsvTable::Decimal(double value, int decimals) {
    if (!std::isfinite(value)) {
        return {};
    }
    std::string text = TextUtil::Format("%.*f", decimals, value);
    if (text == "-" + TextUtil::Format("%.*f", decimals, 0.0)) {
        text.erase(0, 1);  // no "-0,00" for a value that rounds to zero
    }
    for (char& c : text) {
        if (c == '.') {
            c = ',';
        }
    }
    return text;
}

std::string CCsvTable::ShownTime(const DateTime& utc, int32_t offsetMinutes) {
    if (!utc.IsValid() || utc.IsNever()) {
        return {};
    }
    const CalendarFields f = utc.AddMinutes(-offsetMinutes).ToCalendar();
    return TextUtil::Format("%02d.%02d.%04d %02d:%02d:%02d", f.day, f.month, f.year, f.hour,
                            f.minute, f.second);
}

std::string CCsvTable::Date(const DateTime& shown) {
    const CalendarFields f = shown.ToCalendar();
    return TextUtil::Format("%02d.%02d.%04d", f.day, f.month, f.year);
}

std::string CCsvTable::Span(double days) {
    const long long seconds = days > 0 ? std::llround(days * 86400.0) : 0;
    return TextUtil::Format("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                            seconds % 60);
}
