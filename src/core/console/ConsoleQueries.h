#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "alerts/VisitHistory.h"
#include "model/AddressBookEntry.h"
#include "model/ObjectSettingsEdit.h"
#include "model/ZoneAssignmentEdit.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"
#include "zones/ZoneMap.h"

class CConsole;

// What the windows read of the console's state, copied out under the store lock and
// handed back by value: no window takes the lock or holds a reference into the store,
// the zone map or the layout. Every call takes the lock once (window thread; the
// workers may run).
class CConsoleQueries {
public:
    explicit CConsoleQueries(CConsole& console) : console_(console) {}

    // One row of a distance list: a selected object against one zone.
    struct DistanceRow {
        std::string title;  // Windows-1251
        std::string distance;
        std::string zoneName;
        std::string speed;
        int32_t state = 0;  // row state bits of the object
        bool inZone = false;
    };
    // The selected objects in store order, measured against `zone` ("---" when the
    // zone or the object's position is unknown).
    std::vector<DistanceRow> DistanceRows(int zone) const;
    // The zone called `zoneName` (the one at `hint` while it still has that name; -1
    // when the map has none) and the rows measured against it, under one lock: what a
    // distance window reads after each refresh pass.
    struct ZoneRows {
        int zone = -1;
        std::vector<DistanceRow> rows;
    };
    ZoneRows DistanceRowsOf(const std::string& zoneName, int hint) const;

    // An object's position and its distance to every zone of the map in use.
    struct PositionKey {
        int32_t number = 0;
        uint64_t latitudeBits = 0;
        uint64_t longitudeBits = 0;
        bool hasPosition = false;
        const void* map = nullptr;  // identity of the map in use
        int zoneCount = 0;
        bool operator==(const PositionKey&) const = default;
    };
    struct ZoneDistances {
        PositionKey key;
        std::vector<std::string> distances;  // FormatDistanceKm per zone
        std::vector<std::string> zoneNames;
    };
    // nullopt when the object is gone; the distances are left empty when `known`
    // equals the key found (nothing moved since).
    std::optional<ZoneDistances> ObjectZoneDistances(int32_t number,
                                                     const std::optional<PositionKey>& known) const;

    // "id name" of every selected object in store order, and whether the store has any
    // object at all.
    std::vector<std::string> SelectedTitles(bool* anyObject = nullptr) const;
    int FindObjectByNumber(int32_t number) const;
    std::string Tooltip(int32_t number) const;

    struct ObjectHistory {
        int32_t number = 0;
        std::string title;  // "id name", Windows-1251
        VisitHistory history;
    };
    std::optional<ObjectHistory> HistoryAt(int objectIndex) const;
    std::optional<ObjectHistory> HistoryOf(int32_t number) const;

    std::vector<ZoneRecord> Zones() const;
    std::vector<std::string> ZoneNames() const;
    int ZoneCount() const;
    std::optional<std::string> ZoneName(int zoneIndex) const;
    // `hint` when the zone there is still called `name`, otherwise the zone of that
    // name; -1 when there is none.
    int ResolveZone(const std::string& name, int hint) const;

    // The per-object settings panel and the zone assignment dialog for the objects of
    // `numbers` (the selected rows): nullopt when there is none or when one of them is
    // not in the store (a number below zero stands for a row without an object). The
    // zone assignment comes with the names of the map's zones, read under the same lock.
    std::optional<ObjectSettingsEdit> ObjectSettingsOf(const std::vector<int32_t>& numbers,
                                                       std::string* caption = nullptr) const;
    std::optional<ZoneAssignmentEdit> ZoneAssignmentOf(const std::vector<int32_t>& numbers) const;

    // Every object of the address book in store order, as its dialog edits them.
    std::vector<AddressBookEntry> AddressBookEntries() const;

    // Minutes the terminal's UTC stamps are shifted by for display: shown = stamp - offset,
    // stamp = shown + offset (the same for every object).
    int32_t DisplayOffsetMinutes() const;

    // A copy of the settings in use, and whether Sentrel.ini could not be read at start.
    Settings CurrentSettings() const;
    bool SettingsFileUnreadable() const;
    // The path of the zone file (`zones`) or of the address book.
    std::string DataFilePath(bool zones) const;

    // A copy of the window layout as it stands.
    WindowLayout Layout() const;
    // Where a history window of the object opens: its index in the store (-1 when it
    // is not there) and the placement its layout record keeps (empty without one).
    struct HistoryWindowStart {
        int objectIndex = -1;
        WindowPlacement placement;
    };
    HistoryWindowStart HistoryWindowStartOf(int32_t number) const;
    // Object index and placement of the history windows recorded as open, in store
    // order: one per object number (two objects of one number share one record), at
    // most `limit`. Records past the limit are left as they are.
    std::vector<std::pair<int, WindowPlacement>> OpenHistoryWindows(std::size_t limit) const;

private:
    std::vector<DistanceRow> DistanceRowsLocked(int zone) const;
    int ResolveZoneLocked(const std::string& name, int hint) const;
    // The objects of `numbers` (lock held); false when one is missing or none is given.
    bool ObjectsLocked(const std::vector<int32_t>& numbers,
                       std::vector<const ObjectRecord*>& objects) const;

    CConsole& console_;
};
