#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "model/ObjectRecord.h"

class CZoneMap;

// The single in-memory model of every monitored object, addressed by object index.
// The store has no lock of its own: the console guards it with its one mutex.
class CDataStore {
public:
    static constexpr const char* kSettingsFile = "SntSettings.dat";
    static constexpr const char* kMessagesFile = "SntQMXMSG.dat";
    static constexpr const char* kHistoryFile = "SntHistory.dat";
    static constexpr const char* kZoneAssignmentsFile = "SntSpec.dat";
    static constexpr std::size_t kSettingsRecordSize = 152;
    static constexpr std::size_t kMessageRecordSize = 440;
    static constexpr std::size_t kHistoryHeaderSize = 10;
    static constexpr std::size_t kHistoryEntrySize = 92;

    explicit CDataStore(std::string dataFolder);

    // ---- objects (records and lookups) ----
    int32_t objectCount = 0;
    std::string selectedIdsText;
    int32_t timeOffsetMinutes = 0;
    std::string dataFolder;

    ObjectRecord& Object(int i) { return objects_[static_cast<std::size_t>(i)]; }
    const ObjectRecord& Object(int i) const { return objects_[static_cast<std::size_t>(i)]; }

    // Appends an object with the defaults of a new object (does not count it).
    void AppendObject();
    void ClearObjects();
    int FindObjectById(const std::string& id) const;
    int FindObjectByNumber(int32_t number) const;
    std::string BuildSelectedIdsText() const;
    // mode = TimeParam, span = TimeSpan; biasMinutes is the platform's answer for mode 2.
    void SetTimeOffset(int32_t mode, DateTime span, std::optional<int> biasMinutes);
    // Exchange sort of all objects by a column key (1..12); true if anything moved.
    // `now` is needed for the zone-time key.
    bool SortObjects(int key, int descending, int zoneIndex, const CZoneMap* zoneMap, DateTime now);
    // A header click or a distance view's sort: the same key as last time flips the
    // direction, another key sorts ascending. When anything moved, every shown row is
    // to be recoloured (rowState -1). True if anything moved.
    bool SortByKey(int key, int zoneIndex, const CZoneMap* zoneMap, DateTime now);
    // Every shown row is to be drawn and coloured anew (rowState -1); returns how many
    // rows are shown.
    int ResetShownRows();
    // The numbers of the shown objects, in store order.
    std::vector<int32_t> ShownNumbers() const;
    int sortKey = 0;  // the key and direction of the last SortByKey
    int sortDescending = 0;
    // The day-change test of the refresh: true (and the day path cleared) when the last
    // message, shown in display time, is from another day than `now`.
    bool ResetDayPathIfNewDay(int i, DateTime now);

    // Every object as the address book made it, its state forgotten (LoadState fills
    // it again from the data files, which then alone decide it).
    void ForgetState();

    // ---- address book ----
    bool LoadAddressBook(const std::string& path);
    bool LoadAddressBookFromBytes(const std::string& bytes);
    bool ParseAddressBookLine(const std::string& line);
    void SetAddressBookField(const std::string& text, int fieldIndex);

    // ---- data files ----
    // The bytes of each file as its Save writes it (the group commit writes them itself).
    std::string EncodeSettingsFile() const;
    std::string EncodeMessagesFile() const;
    std::string EncodeHistoryFile() const;
    std::string EncodeZoneAssignmentsFile(const CZoneMap& zoneMap) const;
    bool SaveState();
    void LoadState();
    bool SaveHistory();
    bool LoadHistory();
    bool SaveZoneAssignments(const CZoneMap& zoneMap);
    bool LoadZoneAssignments(const CZoneMap& zoneMap);
    std::string FilePath(const char* fileName) const;

    // ---- status texts ----
    std::string FormatIdAndName(int i) const;
    std::string FormatSpeed(int i) const;
    std::string FormatPath(int i) const;
    std::string FormatReceivedAt(int i) const;
    std::string FormatMessageTime(int i) const;
    std::string FormatEventTime(int i) const;
    std::string FormatLastMessageAge(int i, DateTime now) const;
    std::string FormatZoneTime(int i, DateTime now) const;
    bool IsLastMessageFromAnotherDay(int i, DateTime now) const;
    // DayKey of the last message in display time.
    int ShownMessageDay(int i) const;
    std::string BuildTooltip(int i) const;
    std::string FormatZoneCell(int i) const;

private:
    // Whether "|<id>|" occurs in selectedIdsText. While an address book is loaded the
    // answer comes from selectedTokens_ (the texts between neighbouring bars), so that a
    // long selection is not searched once per object.
    bool IsSelectedId(const std::string& id) const;

    std::vector<ObjectRecord> objects_;
    std::unordered_set<std::string_view> selectedTokens_;  // views into selectedIdsText
    bool selectedTokensValid_ = false;
};

// Age of stamp t against reference r: "00:00:00" when r < t, "%H:%M:%S" under a day,
// else ">%i час.".
std::string FormatAge(DateTime t, DateTime reference);

// The list's cell texts from the values they are made of (the store's Format members
// and the refresh pass, which formats copies outside the lock, share them).
// "<id> - <name>".
std::string IdAndNameText(const std::string& id, const std::string& name);
// "%i (%i)": the reported and the computed speed.
std::string SpeedText(int32_t speedKmh, int32_t computedSpeedKmh);
// "%.02f (%.02f)" in kilometres: the whole and today's path.
std::string PathText(double pathMetres, double dayPathMetres);
// The zone (-1: none) and the one before it when `previousZoneName` is given, or
// "--- (<last zone>)" outside every zone.
std::string ZoneCellText(int32_t currentZone, const std::string& currentZoneName,
                         const std::string& lastZoneName, const std::string* previousZoneName);
// The zone the object came from, when its history knows one; null otherwise.
const std::string* PreviousZoneName(const ObjectRecord& o);
// "<age of receipt> (<age of the stamp in display time>)".
std::string LastMessageAgeText(DateTime receivedAt, DateTime messageTime, DateTime now,
                               int32_t offsetMinutes);
// Time in the zone since its entry, "---" without one.
std::string ZoneTimeText(DateTime zoneEntryTime, DateTime now, int32_t offsetMinutes);
// Month and day as one number (month * 32 + day): the day path's "today" test.
int DayKey(DateTime t);
