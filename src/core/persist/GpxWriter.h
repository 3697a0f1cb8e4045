#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "persist/TrackPoint.h"

// A route exported as GPX 1.1 (docs/tracks.md): one <trk> per vehicle, named with its
// object number and name, one <trkseg> of its points in the order given. The document is
// UTF-8 (the names, kept in Windows-1251, are converted) and written whole or not at all.
//
// Per point: lat and lon in degrees (7 decimals), <time> the message time in UTC
// (ISO 8601 with Z; milliseconds only when there are any), <desc> the reported speed in
// km/h and the zone, and the speed in m/s in Garmin's TrackPointExtension v2, which
// most GPX tools read. Points whose coordinates GPX cannot carry (not numbers, beyond
// -90..90 or -180..180) are left out; a longitude of 180 is written as -180.
class CGpxWriter {
public:
    static constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";
    static constexpr const char* kSpeedNamespace =
        "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";

    // One vehicle's track: `name` in Windows-1251, as the address book gives it.
    void AddTrack(int32_t objectNumber, std::string_view name,
                  const std::vector<TrackPoint>& points);
    // The whole document (UTF-8).
    std::string Text() const;
    // Writes the document to `path` (Windows-1251, as every path of the core) through a
    // temporary file renamed over it. False, with the reason in `problem` (Windows-1251),
    // when it could not be written; a file there before is then left as it was.
    bool Save(const std::string& path, std::string& problem) const;

    // Text for an XML element or attribute: & < > " ' escaped, and control characters,
    // which XML 1.0 cannot carry, as '?'. `utf8` is UTF-8.
    static std::string Escape(std::string_view utf8);
    // "2026-12-06T09:00:00Z", "2026-12-06T09:00:00.250Z".
    static std::string IsoUtc(const DateTime& utc);

private:
    std::string tracks_;
};
