#include "refresh/RefreshPass.h"

#include <bit>
#include <chrono>
#include <cmath>

#include "model/DataStore.h"
#include "platform/Clock.h"
#include "platform/ManualResetEvent.h"

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

// Assigns when different; true when it was.
template <typename T>
bool Take(T& kept, const T& current) {
    if (kept == current)
        return false;
    kept = current;
    return true;
}

}  // namespace

void CRefreshPass::Gather(CDataStore& store, DateTime now, const ManualResetEvent& stop,
                          RefreshSnapshot& snapshot) {
    const int todayKey = DayKey(now);
    const int32_t offset = store.timeOffsetMinutes;
    if (rows_.size() < static_cast<std::size_t>(store.objectCount))
        rows_.resize(static_cast<std::size_t>(store.objectCount));
    // The rows were made ready by Prepare; only a pass with more shown objects than the
    // last one allocates here.
    std::size_t used = 0;

    for (int i = 0; i < store.objectCount; ++i) {
        ObjectRecord& o = store.Object(i);
        if (o.selected == 0)
            continue;
        CachedRow& c = rows_[static_cast<std::size_t>(i)];

        // The day path is a "today" counter: cleared once the last message is from
        // another day. The message's day is worked out again only when its stamp moved.
        if (!c.dayKnown || !(c.dayOf == o.lastMessageTime) || c.dayOffset != offset) {
            c.dayKey = store.ShownMessageDay(i);
            c.dayOf = o.lastMessageTime;
            c.dayOffset = offset;
            c.dayKnown = true;
        }
        if (c.dayKey != todayKey)
            o.dayPathMetres = 0;

        bool changed = !c.formatted;
        changed |= Take(c.id, o.id);
        changed |= Take(c.name, o.name);
        changed |= Take(c.speedKmh, o.speedKmh);
        changed |= Take(c.computedSpeedKmh, o.computedSpeedKmh);
        changed |= Take(c.pathBits, std::bit_cast<uint64_t>(o.pathMetres));
        changed |= Take(c.dayPathBits, std::bit_cast<uint64_t>(o.dayPathMetres));
        changed |= Take(c.currentZone, o.currentZone);
        changed |= Take(c.currentZoneName, o.currentZoneName);
        changed |= Take(c.lastZoneName, o.lastZoneName);
        const std::string* previous = PreviousZoneName(o);
        changed |= Take(c.hasPreviousZone, previous != nullptr);
        if (previous != nullptr)
            changed |= Take(c.previousZoneName, *previous);
        if (changed)
            c.formatted = false;
        c.lastReceivedAt = o.lastReceivedAt;
        c.lastMessageTime = o.lastMessageTime;
        c.zoneEntryTime = o.zoneEntryTime;
        c.offsetMinutes = offset;

        if (used == snapshot.rows.size())
            snapshot.rows.emplace_back();
        RowSnapshot& row = snapshot.rows[used++];
        row.objectIndex = i;
        row.objectNumber = o.Number();
        row.hasPosition = (o.hasMessage & kHasPosition) != 0;
        row.latitude = o.latitude;
        row.longitude = o.longitude;
        row.icons[kColEvent] = EventIcon(o.lastEventKind, alarmBlinkPhase_, powerOnBlinkPhase_);
        for (int k = 0; k < 5; ++k)
            row.icons[kColSensor1 + k] = o.Sensor(k) != 0 ? kSensorOnIcon : kSensorOffIcon;

        int32_t state = 0;
        if (AtOrBefore(o.lastReceivedAt.AddDays(o.firstTimeout.TimeOfDaySpan()), now))
            state |= kRowSilent;
        if (AtOrBefore(
                o.lastMessageTime.AddDays(o.secondTimeout.TimeOfDaySpan()).AddMinutes(-offset),
                now))
            state |= kRowStaleStamp;
        if (o.currentZone == -1)
            state |= kRowNoZone;
        row.state = state;

        if (stop.IsSet()) {
            // The cells of this row are written, its colouring is left for the next pass.
            snapshot.stoppedEarly = true;
            break;
        }
        if (state != o.rowState) {
            o.rowState = state;
            row.recolour = true;
        }
        if (stop.IsSet()) {
            snapshot.stoppedEarly = true;
            break;
        }
    }
    alarmBlinkPhase_ = (alarmBlinkPhase_ + 1) % 4;
    powerOnBlinkPhase_ = (powerOnBlinkPhase_ + 1) % 2;
    usedRows_ = used;
}

void CRefreshPass::Prepare(RefreshSnapshot& snapshot) const {
    snapshot.rows.resize(lastRowCount_);
}

void CRefreshPass::Format(RefreshSnapshot& snapshot, DateTime now) {
    snapshot.rows.resize(usedRows_);
    lastRowCount_ = usedRows_;
    for (RowSnapshot& row : snapshot.rows) {
        CachedRow& c = rows_[static_cast<std::size_t>(row.objectIndex)];
        if (!c.formatted) {
            c.idAndName = IdAndNameText(c.id, c.name);
            c.speed = SpeedText(c.speedKmh, c.computedSpeedKmh);
            c.path =
                PathText(std::bit_cast<double>(c.pathBits), std::bit_cast<double>(c.dayPathBits));
            c.zone = ZoneCellText(c.currentZone, c.currentZoneName, c.lastZoneName,
                                  c.hasPreviousZone ? &c.previousZoneName : nullptr);
            c.formatted = true;
        }
        row.texts[kColObject] = c.idAndName;
        row.texts[kColSpeed] = c.speed;
        row.texts[kColPath] = c.path;
        row.texts[kColZone] = c.zone;
        row.texts[kColLastMessage] =
            c.lastReceivedAt.IsNever()
                ? "---"
                : LastMessageAgeText(c.lastReceivedAt, c.lastMessageTime, now, c.offsetMinutes);
        row.texts[kColZoneTime] = ZoneTimeText(c.zoneEntryTime, now, c.offsetMinutes);
    }
}

std::shared_ptr<RefreshSnapshot> CRefreshPass::Run(
    std::mutex& storeMutex, CDataStore& store, const Clock& clock, const ManualResetEvent& stop,
    const std::function<void(RefreshSnapshot&, DateTime now)>& whileLocked) {
    std::lock_guard<std::mutex> pass(runMutex_);
    auto snapshot = std::make_shared<RefreshSnapshot>();
    Prepare(*snapshot);
    DateTime now;
    {
        std::lock_guard<std::mutex> lock(storeMutex);
        const auto start = std::chrono::steady_clock::now();
        now = clock.Now();
        whileLocked(*snapshot, now);
        Gather(store, now, stop, *snapshot);
        SetLastLockedNs(std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count());
    }
    Format(*snapshot, now);
    return snapshot;
}
