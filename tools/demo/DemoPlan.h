#pragma once

// The demo fleet's settings: which zones each vehicle is sent to or kept out of, which
// alerts it raises and its silence thresholds. sentrel-demo-setup writes them into
// SntSettings.dat and SntSpec.dat with the store's own writers; the tests apply the same
// plan to the committed demo files, so a renamed zone or vehicle cannot go unnoticed.
// Header-only for that reason. Zone names must match demo/maps.mrk byte for byte.

#include <initializer_list>
#include <string>
#include <vector>

#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "base/TextUtil.h"
#include "zones/ZoneMap.h"

namespace DemoPlan {

// Alert profiles: sets of the sixteen flags.
enum class Profile {
    Everything,  // every alert with sound and pop-up
    AlarmsOnly,  // alarm and power-on with sound and pop-up
    ZonesOnly,   // zone arrivals and departures with sound and pop-up
    Silent,      // alarms and zone events with a pop-up but no sound
    None         // tracked only
};

struct Vehicle {
    int number;
    Profile profile;
    std::vector<const char*> destinations;  // UTF-8 zone names
    std::vector<const char*> forbidden;
};

// Silence thresholds of every demo vehicle (and the defaults in Sentrel.ini): the vehicle
// the feed silences turns yellow 25 s after its last message and red after 50 s.
constexpr int kFirstTimeoutSeconds = 25;
constexpr int kSecondTimeoutSeconds = 50;
// The vehicle that stops reporting during the demo, and when (seconds after the start).
constexpr int kQuietVehicle = 118;
constexpr int kQuietAfterSeconds = 30;

inline const std::vector<Vehicle>& Vehicles() {
    static const std::vector<Vehicle> vehicles = {
        {12,
         Profile::Everything,
         {"Автобаза №1 Уралмаш", "Склад готовой продукции УЗТМ", "Склад Сортировка"},
         {"Центр - запрет для грузовых", "Мост Макаровский"}},
        {17,
         Profile::ZonesOnly,
         {"Склад Сортировка", "Двор Эльмаш"},
         {"Центр - запрет для грузовых", "Водоохранная зона ВИЗ"}},
        {23,
         Profile::Everything,
         {"Гараж Центр", "АЗС на Бебеля", "Склад Сортировка"},
         {"Плотинка"}},
        {31,
         Profile::AlarmsOnly,
         {"Стройплощадка Академический", "Автобаза №2 Вторчермет"},
         {"Центр - запрет для грузовых"}},
        {38,
         Profile::Everything,
         {"Терминал Кольцово", "Склад Химмаш"},
         {"Аэропорт - режимная зона"}},
        {45,
         Profile::ZonesOnly,
         {"Склад Химмаш", "Автобаза №2 Вторчермет", "Терминал Кольцово"},
         {"Центр - запрет для грузовых"}},
        {52, Profile::Silent, {"Нефтебаза Шарташ", "Двор Эльмаш"}, {"Мост Макаровский"}},
        {58, Profile::AlarmsOnly, {"Автобаза №2 Вторчермет", "Склад Химмаш"}, {}},
        {63,
         Profile::Everything,
         {"Склад готовой продукции УЗТМ", "Двор Эльмаш", "Нефтебаза Шарташ"},
         {"Центр - запрет для грузовых"}},
        {71, Profile::AlarmsOnly, {"Гараж Центр", "Стройплощадка Академический"}, {"Плотинка"}},
        {77, Profile::ZonesOnly, {"АЗС на Бебеля", "Склад Сортировка"}, {"Водоохранная зона ВИЗ"}},
        {84,
         Profile::None,
         {"Двор Эльмаш", "Автобаза №1 Уралмаш"},
         {"Центр - запрет для грузовых"}},
        // The tow truck's garage lies inside the centre's truck ban: it crosses the
        // forbidden zone to get home and right after leaving it.
        {91,
         Profile::Everything,
         {"Гараж Центр", "Автобаза №1 Уралмаш"},
         {"Центр - запрет для грузовых"}},
        {105,
         Profile::ZonesOnly,
         {"Автобаза №2 Вторчермет", "Стройплощадка Академический"},
         {"Водоохранная зона ВИЗ", "Центр - запрет для грузовых"}},
        {118, Profile::AlarmsOnly, {"Склад Химмаш", "Автобаза №2 Вторчермет"}, {}},
    };
    return vehicles;
}

inline AlertSettings FlagsOf(Profile profile) {
    AlertSettings a;
    auto on = [&a](std::initializer_list<int> fields) {
        for (const int f : fields)
            a[f] = 1;
    };
    using F = AlertSettings;
    const std::initializer_list<int> alarms = {F::kAlarmAlert, F::kPowerOnAlert};
    const std::initializer_list<int> alarmSounds = {F::kAlarmSound, F::kPowerOnSound};
    const std::initializer_list<int> alarmPopups = {F::kAlarmPopup, F::kPowerOnPopup};
    const std::initializer_list<int> zones = {F::kDestinationAlert,     F::kDestinationArrival,
                                              F::kDestinationDeparture, F::kForbiddenAlert,
                                              F::kForbiddenArrival,     F::kForbiddenDeparture};
    const std::initializer_list<int> zoneSounds = {F::kDestinationSound, F::kForbiddenSound};
    const std::initializer_list<int> zonePopups = {F::kDestinationPopup, F::kForbiddenPopup};
    switch (profile) {
        case Profile::Everything:
            for (int f = 0; f < AlertSettings::kCount; ++f)
                a[f] = 1;
            break;
        case Profile::AlarmsOnly:
            on(alarms);
            on(alarmSounds);
            on(alarmPopups);
            break;
        case Profile::ZonesOnly:
            on(zones);
            on(zoneSounds);
            on(zonePopups);
            break;
        case Profile::Silent:
            on(alarms);
            on(alarmPopups);
            on(zones);
            on(zonePopups);
            break;
        case Profile::None:
            break;
    }
    return a;
}

// Puts the plan into a store that holds the demo address book: every vehicle shown, its
// thresholds, alert flags and zone assignments. False, with the reason, when a vehicle of
// the plan is not in the address book or a zone is not in the map.
inline bool Apply(CDataStore& store, const CZoneMap& zones, std::string& error) {
    const DateTime first = DateTime::FromTimeOfDay(0, 0, kFirstTimeoutSeconds);
    const DateTime second = DateTime::FromTimeOfDay(0, 0, kSecondTimeoutSeconds);
    for (int i = 0; i < store.objectCount; ++i)
        store.Object(i).selected = 1;
    for (const Vehicle& v : Vehicles()) {
        const int i = store.FindObjectByNumber(v.number);
        if (i < 0) {
            error = TextUtil::Format("vehicle %d is not in the address book", v.number);
            return false;
        }
        ObjectRecord& o = store.Object(i);
        o.firstTimeout = first;
        o.secondTimeout = second;
        o.alertSettings = FlagsOf(v.profile);
        o.hasSettings = 1;
        o.zoneAssignment = ZoneAssignment();
        for (const int role : {static_cast<int>(Destination), static_cast<int>(Forbidden)}) {
            for (const char* name : role == Destination ? v.destinations : v.forbidden) {
                const int zone = zones.FindZoneByName(W(name));
                if (zone < 0) {
                    error = std::string("zone not in the zone file: ") + name;
                    return false;
                }
                if (o.zoneAssignment.CheckZone(zone, role) == 0)
                    o.zoneAssignment.Append(zone, role);
            }
        }
    }
    return true;
}

}  // namespace DemoPlan
