#pragma once

#include <array>
#include <cstdint>

// The sixteen per-object alert flags (non-zero = on), stored as 64 bytes in the data
// files in this order.
struct AlertSettings {
    enum Field : int {
        kPowerOnAlert = 0,
        kPowerOnSound = 1,
        kPowerOnPopup = 2,
        kAlarmAlert = 3,
        kAlarmSound = 4,
        kAlarmPopup = 5,
        kDestinationArrival = 6,
        kDestinationDeparture = 7,
        kDestinationAlert = 8,
        kDestinationSound = 9,
        kDestinationPopup = 10,
        kForbiddenArrival = 11,
        kForbiddenDeparture = 12,
        kForbiddenAlert = 13,
        kForbiddenSound = 14,
        kForbiddenPopup = 15,
        kCount = 16
    };

    std::array<int32_t, kCount> values{};

    int32_t& operator[](int field) { return values[static_cast<std::size_t>(field)]; }
    int32_t operator[](int field) const { return values[static_cast<std::size_t>(field)]; }
    bool operator==(const AlertSettings&) const = default;

    bool powerOnAlert() const { return values[kPowerOnAlert] != 0; }
    bool powerOnSound() const { return values[kPowerOnSound] != 0; }
    bool powerOnPopup() const { return values[kPowerOnPopup] != 0; }
    bool alarmAlert() const { return values[kAlarmAlert] != 0; }
    bool alarmSound() const { return values[kAlarmSound] != 0; }
    bool alarmPopup() const { return values[kAlarmPopup] != 0; }
    bool destinationArrival() const { return values[kDestinationArrival] != 0; }
    bool destinationDeparture() const { return values[kDestinationDeparture] != 0; }
    bool destinationAlert() const { return values[kDestinationAlert] != 0; }
    bool destinationSound() const { return values[kDestinationSound] != 0; }
    bool destinationPopup() const { return values[kDestinationPopup] != 0; }
    bool forbiddenArrival() const { return values[kForbiddenArrival] != 0; }
    bool forbiddenDeparture() const { return values[kForbiddenDeparture] != 0; }
    bool forbiddenAlert() const { return values[kForbiddenAlert] != 0; }
    bool forbiddenSound() const { return values[kForbiddenSound] != 0; }
    bool forbiddenPopup() const { return values[kForbiddenPopup] != 0; }
};

// Event kinds of alerts; the same numbers select the sound.
enum class AlertKind : int32_t { Alarm = 0, PowerOn = 1, ForbiddenZone = 2, DestinationZone = 3 };

// Kinds of the texts handed to the pop-up (they choose the history colour).
enum class PopupKind : int32_t { DestinationZone = 0, ForbiddenZone = 1, PowerOn = 2, Alarm = 3 };
