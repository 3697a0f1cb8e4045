#include "persist/GpxWriter.h"

#include <cmath>

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

// The OLE date of 1970-01-01 00:00.
constexpr double kUnixEpochDays = 25569.0;
constexpr int64_t kDayMs = 86400000;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// Year, month, day of a count of days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string CGpxWriter::Escape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    out += '?';
                else
                    out += c;
                break;
        }
    }
    return out;
}

std::string CGpxWriter::IsoUtc(const DateTime& utc) {
    const int64_t ms = std::llround((utc.Linear() - kUnixEpochDays) * 86400000.0);
    const int64_t days = FloorDiv(ms, kDayMs);
    const int64_t inDay = ms - days * kDayMs;
    int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    const int hour = static_cast<int>(inDay / 3600000);
    const int minute = static_cast<int>(inDay / 60000 % 60);
    const int second = static_cast<int>(inDay / 1000 % 60);
    const int milli = static_cast<int>(inDay % 1000);
    std::string text =
        TextUtil::Format("%04lld-%02d-%02dT%02d:%02d:%02d", static_cast<long long>(year), month,
                         day, hour, minute, second);
    if (milli != 0)
        text += TextUtil::Format(".%03d", milli);
    return text + "Z";
}

void CGpxWriter::AddTrack(int32_t objectNumber, std::string_view name,
                          const std::vector<TrackPoint>& points) {
    std::string title = std::to_string(objectNumber);
    if (!name.empty())
        title += " " + Cp1251::ToUtf8(name);
    tracks_ += "  <trk>\n    <name>" + Escape(title) + "</name>\n";
    if (objectNumber >= 0)
        tracks_ += "    <number>" + std::to_string(objectNumber) + "</number>\n";
    tracks_ += "    <trkseg>\n";
    for (const TrackPoint& p : points) {
        if (!(p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180))
            continue;
        // GPX takes -180 <= lon < 180: 180 is the same meridian as -180.
        tracks_ += TextUtil::Format("      <trkpt lat=\"%.7f\" lon=\"%.7f\">\n", p.latitude,
                                    p.longitude == 180 ? -180.0 : p.longitude);
        if (p.messageTime.IsValid() && !p.messageTime.IsNever())
            tracks_ += "        <time>" + IsoUtc(p.messageTime) + "</time>\n";
        const bool speed = std::isfinite(p.speedKmh) && p.speedKmh >= 0;
        std::string desc = speed ? TextUtil::Format("%.1f км/ч", p.speedKmh) : std::string();
        if (!p.zoneName.empty())
            desc += (desc.empty() ? "" : ", ") + Cp1251::ToUtf8(p.zoneName);
        if (!desc.empty())
            tracks_ += "        <desc>" + Escape(desc) + "</desc>\n";
        if (speed)
            tracks_ += TextUtil::Format(
                "        <extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.3f"
                "</gpxtpx:speed></gpxtpx:TrackPointExtension></extensions>\n",
                p.speedKmh / 3.6);
        tracks_ += "      </trkpt>\n";
    }
    tracks_ += "    </trkseg>\n  </trk>\n";
}

std::string CGpxWriter::Text() const {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<gpx version=\"1.1\" creator=\"Sentrel\" xmlns=\"") +
           kGpxNamespace + "\" xmlns:gpxtpx=\"" + kSpeedNamespace + "\">\n" + tracks_ + "</gpx>\n";
}

bool CGpxWriter::Save(const std::string& path, std::string& problem) const {
    problem.clear();
    if (FileSystem::WriteFileAtomically(path, Text()))
        return true;
    problem = W("Не удалось записать файл ") + path;
    return false;
}
