#pragma once

#include <cstdint>
#include <string>

#include "base/DateTime.h"

// One applied position of an object, as the track store keeps it (docs/tracks.md).
struct TrackPoint {
    int32_t objectNumber = 0;
    DateTime messageTime;          // UTC, the terminal's stamp
    DateTime receiveTime;          // local time of receipt, as the record carries it
    double latitude = 0;           // degrees
    double longitude = 0;          // degrees
    double speedKmh = 0;           // as the terminal reported it
    int32_t computedSpeedKmh = 0;  // from the distance to the previous fix
    std::string zoneName;          // Windows-1251; empty outside every zone
};
