#pragma once

#include <cstdint>
#include <optional>
#include <string>
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
    // The day-change test of the refresh: true (and the day path cleared) when the last
    // message, shown in display time, is from another day than `now`.
    bool ResetDayPathIfNewDay(int i, DateTime now);

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
    std::string BuildTooltip(int i) const;
    std::string FormatZoneCell(int i) const;

private:
    std::vector<ObjectRecord> objects_;
};

// Age of stamp t against reference r: "00:00:00" when r < t, "%H:%M:%S" under a day,
// else ">%i час.".
std::string FormatAge(DateTime t, DateTime reference);
