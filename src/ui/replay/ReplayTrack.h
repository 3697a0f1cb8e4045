#pragma once

#include <QColor>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/TrackPoint.h"
#include "persist/TrackVisit.h"

// One vehicle's route over the replayed period: its points as the track store gave them
// (message time order), their zone visits, and where the vehicle stood at a moment.
class CReplayTrack {
public:
    // Between two points further apart than this the vehicle is not moved along the
    // line: it stays at the earlier point (no messages, most likely standing or off).
    static constexpr double kLongestGlideMinutes = 5;

    CReplayTrack(int32_t number, std::string title, std::vector<TrackPoint> points);

    int32_t Number() const { return number_; }
    const std::string& Title() const { return title_; }  // "id name", Windows-1251
    const std::vector<TrackPoint>& Points() const { return points_; }
    const std::vector<TrackVisit>& Visits() const { return visits_; }

    struct Position {
        double latitude = 0;
        double longitude = 0;
    };
    // Where the vehicle was at `utc`: between two points close in time, on the line
    // between them in proportion to the time; after the last point, there; nothing
    // before the first.
    std::optional<Position> At(const DateTime& utc) const;

    // The speed bands the route is coloured in: below 5 km/h, below 30, below 60, 60 and
    // over. Band of a speed and its colour and legend text.
    static constexpr int kBandCount = 4;
    static int SpeedBand(double kmh);
    static QColor BandColour(int band);
    static const char* BandTextUtf8(int band);

private:
    int32_t number_;
    std::string title_;
    std::vector<TrackPoint> points_;
    std::vector<TrackVisit> visits_;
};
