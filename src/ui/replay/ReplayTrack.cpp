#include "replay/ReplayTrack.h"

#include <algorithm>

CReplayTrack::CReplayTrack(int32_t number, std::string title, std::vector<TrackPoint> points)
    : number_(number),
      title_(std::move(title)),
      points_(std::move(points)),
      visits_(TrackVisit::FromPoints(points_)) {}

std::optional<CReplayTrack::Position> CReplayTrack::At(const DateTime& utc) const {
    if (points_.empty() || utc < points_.front().messageTime) {
        return std::nullopt;
    }
    // The first point after the moment.
    const auto after =
        std::upper_bound(points_.begin(), points_.end(), utc,
                         [](const DateTime& t, const TrackPoint& p) { return t < p.messageTime; });
    const TrackPoint& a = *(after - 1);
    if (after == points_.end()) {
        return Position{a.latitude, a.longitude};
    }
    const TrackPoint& b = *after;
    const double span = b.messageTime - a.messageTime;
    if (span <= 0 || span * 1440 > kLongestGlideMinutes) {
        return Position{a.latitude, a.longitude};
    }
    const double f = std::clamp((utc - a.messageTime) / span, 0.0, 1.0);
    return Position{a.latitude + f * (b.latitude - a.latitude),
                    a.longitude + f * (b.longitude - a.longitude)};
}

int CReplayTrack::SpeedBand(double kmh) {
    if (kmh < 5) {
        return 0;
    }
    if (kmh < 30) {
        return 1;
    }
    return kmh < 60 ? 2 : 3;
}

QColor CReplayTrack::BandColour(int band) {
    static const QColor kColours[kBandCount] = {QColor(128, 128, 128), QColor(30, 160, 60),
                                                QColor(240, 160, 20), QColor(215, 30, 30)};
    return kColours[std::clamp(band, 0, kBandCount - 1)];
}

const char* CReplayTrack::BandTextUtf8(int band) {
    static const char* const kTexts[kBandCount] = {"до 5 км/ч", "5–30 км/ч", "30–60 км/ч",
                                                   "60 км/ч и выше"};
    return kTexts[std::clamp(band, 0, kBandCount - 1)];
}
