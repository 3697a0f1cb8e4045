// The once-a-second refresh: what every shown row displays and how it is coloured.
#include <cmath>

#include "console/Console.h"

namespace {

int8_t EventIcon(int32_t kind, int alarmPhase, int powerOnPhase) {
    switch (kind) {
        case kEventAlarm:
            return static_cast<int8_t>(3 + alarmPhase);
        case kEventPowerOn:
            return static_cast<int8_t>(1 + powerOnPhase);
        case kEventArrivedForbidden:
            return 9;
        case kEventLeftForbidden:
            return 10;
        case kEventArrivedDestination:
            return 11;
        case kEventLeftDestination:
            return 12;
        default:  // none, or acknowledged (negative)
            return 0;
    }
}

// Thresholds are whole seconds and so are the clock's readings: comparing on the second
// keeps a stamp exactly one threshold old from falling either side by rounding.
bool AtOrBefore(const DateTime& a, const DateTime& b) {
    return std::llround(a.Linear() * 86400.0) <= std::llround(b.Linear() * 86400.0);
}

constexpr int8_t kSensorOnIcon = 7;
constexpr int8_t kSensorOffIcon = 8;

}  // namespace

std::shared_ptr<RefreshSnapshot> CConsole::RefreshView() {
    auto snapshot = std::make_shared<RefreshSnapshot>();
    auto lock = Lock();
    const DateTime now = clock_.Now();
    snapshot->statusTexts = StatusTextsLocked(now);
    snapshot->rowsGeneration = rowsGeneration_.load();

    for (int i = 0; i < store.objectCount; ++i) {
        ObjectRecord& o = store.Object(i);
        if (o.selected == 0)
            continue;
        RowSnapshot row;
        row.objectIndex = i;
        row.objectNumber = o.Number();
        row.texts[kColObject] = store.FormatIdAndName(i);
        row.hasPosition = (o.hasMessage & kHasPosition) != 0;
        row.latitude = o.latitude;
        row.longitude = o.longitude;
        store.ResetDayPathIfNewDay(i, now);
        row.icons[kColEvent] = EventIcon(o.lastEventKind, alarmBlinkPhase_, powerOnBlinkPhase_);
        for (int k = 0; k < 5; ++k)
            row.icons[kColSensor1 + k] = o.Sensor(k) != 0 ? kSensorOnIcon : kSensorOffIcon;
        row.texts[kColLastMessage] =
            o.lastReceivedAt.IsNever() ? "---" : store.FormatLastMessageAge(i, now);
        row.texts[kColSpeed] = store.FormatSpeed(i);
        row.texts[kColPath] = store.FormatPath(i);
        row.texts[kColZone] = store.FormatZoneCell(i);
        row.texts[kColZoneTime] = store.FormatZoneTime(i, now);

        int32_t state = 0;
        if (AtOrBefore(o.lastReceivedAt.AddDays(o.firstTimeout.TimeOfDaySpan()), now))
            state |= kRowSilent;
        if (AtOrBefore(o.lastMessageTime.AddDays(o.secondTimeout.TimeOfDaySpan())
                           .AddMinutes(-store.timeOffsetMinutes),
                       now))
            state |= kRowStaleStamp;
        if (o.currentZone == -1)
            state |= kRowNoZone;
        row.state = state;

        if (stopRefreshEvent.IsSet()) {
            // The cells of this row are written, its colouring is left for the next pass.
            snapshot->rows.push_back(std::move(row));
            snapshot->stoppedEarly = true;
            break;
        }
        if (state != o.rowState) {
            o.rowState = state;
            row.recolour = true;
        }
        snapshot->rows.push_back(std::move(row));
        if (stopRefreshEvent.IsSet()) {
            snapshot->stoppedEarly = true;
            break;
        }
    }
    alarmBlinkPhase_ = (alarmBlinkPhase_ + 1) % 4;
    powerOnBlinkPhase_ = (powerOnBlinkPhase_ + 1) % 2;
    return snapshot;
}
