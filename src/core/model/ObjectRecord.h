#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "alerts/AlertSettings.h"
#include "alerts/VisitHistory.h"
#include "base/DateTime.h"
#include "zones/ZoneAssignment.h"

// Event kinds of `lastEventKind` (absolute value); positive = not yet acknowledged.
enum EventKind : int32_t {
    kEventNone = 0,
    kEventPowerOn = 1,
    kEventLeftDestination = 2,
    kEventLeftForbidden = 3,
    kEventArrivedDestination = 4,
    kEventArrivedForbidden = 5,
    kEventAlarm = 6
};

// Bits of `hasMessage`.
constexpr int32_t kHasPosition = 1;
constexpr int32_t kHasAlarm = 2;

// Bits of `rowState`.
constexpr int32_t kRowNoZone = 1;
constexpr int32_t kRowStaleStamp = 2;
constexpr int32_t kRowSilent = 4;

// One monitored object's state. All texts are Windows-1251 bytes.
struct ObjectRecord {
    static constexpr std::size_t kMessageSize = 80;
    static constexpr std::size_t kInputCount = 22;
    static constexpr std::size_t kFirstSensorInput = 8;  // elements 8..12: "Датчик 1".."5"

    std::string name;
    std::string id;
    uint8_t selected = 0;
    std::string alarmMark;
    AlertSettings alertSettings;
    double pathMetres = 0;
    double zonePathMetres = 0;
    double dayPathMetres = 0;
    int32_t speedKmh = 0;
    int32_t computedSpeedKmh = 0;
    double latitude = 0;
    double longitude = 0;
    std::array<uint8_t, kMessageSize> lastMessage{};
    std::array<int32_t, kInputCount> inputs{};
    std::string alarmText;
    int32_t hasMessage = 0;
    uint8_t hasSettings = 0;
    DateTime lastReceivedAt;   // local time base
    DateTime lastMessageTime;  // UTC
    DateTime zoneEntryTime;    // UTC
    DateTime firstTimeout;     // time of day
    DateTime secondTimeout;    // time of day
    DateTime lastEventTime;    // UTC
    std::string lastEventText = "---";
    int32_t rowState = -1;
    int32_t lastEventKind = 0;
    ZoneAssignment zoneAssignment;
    int32_t currentZone = -1;
    std::string currentZoneName = "---";
    std::string lastZoneName = "---";
    VisitHistory history;

    // Numeric value of `id` (leading digits, as atoi).
    int32_t Number() const;
    int32_t Sensor(int k) const { return inputs[kFirstSensorInput + static_cast<std::size_t>(k)]; }
};
