#include "console/ConsoleQueries.h"

#include <algorithm>
#include <bit>
#include <set>

#include "console/Console.h"

std::vector<CConsoleQueries::DistanceRow> CConsoleQueries::DistanceRows(int zone) const {
    auto lock = console_.Lock();
    return DistanceRowsLocked(zone);
}

CConsoleQueries::ZoneRows CConsoleQueries::DistanceRowsOf(const std::string& zoneName,
                                                          int hint) const {
    ZoneRows result;
    auto lock = console_.Lock();
    result.zone = ResolveZoneLocked(zoneName, hint);
    result.rows = DistanceRowsLocked(result.zone);
    return result;
}

std::vector<CConsoleQueries::DistanceRow> CConsoleQueries::DistanceRowsLocked(int zone) const {
    std::vector<DistanceRow> rows;
    const CDataStore& store = console_.store;
    const CZoneMap* map = console_.zoneMap.get();
    const bool zoneKnown = map != nullptr && zone >= 0 && zone < map->ZoneCount();
    for (int i = 0; i < store.objectCount; ++i) {
        const ObjectRecord& o = store.Object(i);
        if (o.selected == 0) {
            continue;
        }
        DistanceRow row;
        row.title = store.FormatIdAndName(i);
        if ((o.hasMessage & kHasPosition) != 0) {
            row.distance = zoneKnown ? map->FormatDistanceKm(zone, o.latitude, o.longitude) : "---";
            row.zoneName = o.currentZoneName;
            row.speed = store.FormatSpeed(i);
        } else {
            row.distance = row.zoneName = row.speed = "---";
        }
        // -1 only means "not coloured since the rows were reset"; the next refresh pass
        // decides the real bits, so until then the row stays plain.
        row.state = o.rowState < 0 ? 0 : o.rowState;
        row.inZone = zoneKnown && o.currentZone == zone;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<CConsoleQueries::ZoneDistances> CConsoleQueries::ObjectZoneDistances(
    int32_t number, const std::optional<PositionKey>& known) const {
    auto lock = console_.Lock();
    const int object = console_.store.FindObjectByNumber(number);
    if (object < 0) {
        return std::nullopt;
    }
    const ObjectRecord& o = console_.store.Object(object);
    const CZoneMap& map = *console_.zoneMap;
    ZoneDistances result;
    result.key.number = o.Number();
    result.key.latitudeBits = std::bit_cast<uint64_t>(o.latitude);
    result.key.longitudeBits = std::bit_cast<uint64_t>(o.longitude);
    result.key.hasPosition = (o.hasMessage & kHasPosition) != 0;
    result.key.map = &map;
    result.key.zoneCount = map.ZoneCount();
    if (known && *known == result.key) {
        return result;
    }
    result.distances.reserve(static_cast<std::size_t>(map.ZoneCount()));
    result.zoneNames.reserve(static_cast<std::size_t>(map.ZoneCount()));
    for (int i = 0; i < map.ZoneCount(); ++i) {
        result.distances.push_back(map.FormatDistanceKm(i, o.latitude, o.longitude));
        result.zoneNames.push_back(map.Zone(i).name);
    }
    return result;
}

std::vector<std::string> CConsoleQueries::SelectedTitles(bool* anyObject) const {
    std::vector<std::string> titles;
    auto lock = console_.Lock();
    const CDataStore& store = console_.store;
    if (anyObject != nullptr) {
        *anyObject = store.objectCount > 0;
    }
    for (int i = 0; i < store.objectCount; ++i) {
        if (store.Object(i).selected != 0) {
            titles.push_back(store.FormatIdAndName(i));
        }
    }
    return titles;
}

int CConsoleQueries::FindObjectByNumber(int32_t number) const {
    auto lock = console_.Lock();
    return console_.store.FindObjectByNumber(number);
}

std::string CConsoleQueries::Tooltip(int32_t number) const {
    auto lock = console_.Lock();
    const int i = console_.store.FindObjectByNumber(number);
    return i < 0 ? std::string() : console_.store.BuildTooltip(i);
}

std::optional<CConsoleQueries::ObjectHistory> CConsoleQueries::HistoryAt(int objectIndex) const {
    auto lock = console_.Lock();
    const CDataStore& store = console_.store;
    if (objectIndex < 0 || objectIndex >= store.objectCount) {
        return std::nullopt;
    }
    ObjectHistory copy;
    copy.number = store.Object(objectIndex).Number();
    copy.history = store.Object(objectIndex).history;
    copy.title = store.FormatIdAndName(objectIndex);
    return copy;
}

std::optional<CConsoleQueries::ObjectHistory> CConsoleQueries::HistoryOf(int32_t number) const {
    auto lock = console_.Lock();
    const CDataStore& store = console_.store;
    const int index = store.FindObjectByNumber(number);
    if (index < 0) {
        return std::nullopt;
    }
    ObjectHistory copy;
    copy.number = number;
    copy.history = store.Object(index).history;
    copy.title = store.FormatIdAndName(index);
    return copy;
}

std::vector<ZoneRecord> CConsoleQueries::Zones() const {
    auto lock = console_.Lock();
    return console_.zoneMap ? console_.zoneMap->Zones() : std::vector<ZoneRecord>{};
}

std::vector<std::string> CConsoleQueries::ZoneNames() const {
    std::vector<std::string> names;
    auto lock = console_.Lock();
    if (console_.zoneMap) {
        for (const ZoneRecord& z : console_.zoneMap->Zones()) {
            names.push_back(z.name);
        }
    }
    return names;
}

int CConsoleQueries::ZoneCount() const {
    auto lock = console_.Lock();
    return console_.zoneMap ? console_.zoneMap->ZoneCount() : 0;
}

std::optional<std::string> CConsoleQueries::ZoneName(int zoneIndex) const {
    auto lock = console_.Lock();
    const CZoneMap* map = console_.zoneMap.get();
    if (map == nullptr || zoneIndex < 0 || zoneIndex >= map->ZoneCount()) {
        return std::nullopt;
    }
    return map->Zone(zoneIndex).name;
}

int CConsoleQueries::ResolveZone(const std::string& name, int hint) const {
    auto lock = console_.Lock();
    return ResolveZoneLocked(name, hint);
}

int CConsoleQueries::ResolveZoneLocked(const std::string& name, int hint) const {
    const CZoneMap* map = console_.zoneMap.get();
    if (map == nullptr) {
        return -1;
    }
    if (hint >= 0 && hint < map->ZoneCount() && map->Zone(hint).name == name) {
        return hint;
    }
    return map->FindZoneByName(name);
}

WindowLayout CConsoleQueries::Layout() const {
    auto lock = console_.Lock();
    return console_.layout;
}

std::vector<std::pair<int, WindowPlacement>> CConsoleQueries::OpenHistoryWindows(
    std::size_t limit) const {
    std::vector<std::pair<int, WindowPlacement>> open;
    std::set<int32_t> numbers;
    auto lock = console_.Lock();
    const CDataStore& store = console_.store;
    const WindowLayout& layout = console_.layout;
    for (int i = 0; i < store.objectCount && open.size() < limit; ++i) {
        const int32_t number = store.Object(i).Number();
        const int record = layout.FindHistoryRecord(number);
        if (record < 0) {
            continue;
        }
        const HistoryPlacement& p =
            layout.historyWindowPlacements[static_cast<std::size_t>(record)];
        if (p.state == 1 && numbers.insert(number).second) {
            open.emplace_back(i, p.placement);
        }
    }
    return open;
}

CConsoleQueries::HistoryWindowStart CConsoleQueries::HistoryWindowStartOf(int32_t number) const {
    HistoryWindowStart start;
    auto lock = console_.Lock();
    start.objectIndex = console_.store.FindObjectByNumber(number);
    const int record = console_.layout.FindHistoryRecord(number);
    if (record >= 0) {
        start.placement =
            console_.layout.historyWindowPlacements[static_cast<std::size_t>(record)].placement;
    }
    return start;
}

bool CConsoleQueries::ObjectsLocked(const std::vector<int32_t>& numbers,
                                    std::vector<const ObjectRecord*>& objects) const {
    objects.clear();
    for (const int32_t number : numbers) {
        const int i = number >= 0 ? console_.store.FindObjectByNumber(number) : -1;
        if (i < 0) {
            return false;
        }
        objects.push_back(&console_.store.Object(i));
    }
    return !objects.empty();
}

std::optional<ObjectSettingsEdit> CConsoleQueries::ObjectSettingsOf(
    const std::vector<int32_t>& numbers, std::string* caption) const {
    auto lock = console_.Lock();
    std::vector<const ObjectRecord*> objects;
    if (!ObjectsLocked(numbers, objects)) {
        return std::nullopt;
    }
    if (caption != nullptr) {
        *caption = ObjectSettingsEdit::BuildCaption(objects);
    }
    return ObjectSettingsEdit::ForSelection(objects, console_.settings.firstTimeOut,
                                            console_.settings.secondTimeOut);
}

std::optional<ZoneAssignmentEdit> CConsoleQueries::ZoneAssignmentOf(
    const std::vector<int32_t>& numbers) const {
    auto lock = console_.Lock();
    std::vector<const ObjectRecord*> objects;
    if (!ObjectsLocked(numbers, objects)) {
        return std::nullopt;
    }
    ZoneAssignmentEdit edit = ZoneAssignmentEdit::ForSelection(objects);
    if (console_.zoneMap) {
        edit.zones = ZoneNameList::Of(*console_.zoneMap);
    }
    return edit;
}

std::vector<AddressBookEntry> CConsoleQueries::AddressBookEntries() const {
    std::vector<AddressBookEntry> entries;
    auto lock = console_.Lock();
    const CDataStore& store = console_.store;
    entries.reserve(static_cast<std::size_t>(std::max(store.objectCount, 0)));
    for (int i = 0; i < store.objectCount; ++i) {
        entries.push_back(AddressBookEntry::Of(store.Object(i), i));
    }
    return entries;
}

int32_t CConsoleQueries::DisplayOffsetMinutes() const {
    auto lock = console_.Lock();
    return console_.store.timeOffsetMinutes;
}

Settings CConsoleQueries::CurrentSettings() const {
    auto lock = console_.Lock();
    return console_.settings;
}

bool CConsoleQueries::SettingsFileUnreadable() const {
    auto lock = console_.Lock();
    return console_.settingsFileUnreadable;
}

std::string CConsoleQueries::DataFilePath(bool zones) const {
    auto lock = console_.Lock();
    return zones ? console_.settings.qmxInfoFile : console_.settings.channelObj;
}
