// The four data files that carry the objects' state across restarts. Every file is built
// whole in memory and replaced atomically, so a crash or a full disk leaves the previous
// file; every reader checks each length against the bytes it actually has.

#include <algorithm>
#include <array>
#include <cstring>

#include "base/ByteIO.h"
#include "model/DataStore.h"
#include "model/ObjectIndex.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"
#include "zones/ZoneMap.h"

namespace {

constexpr std::size_t kTextField = 64;

// "SntSettings.dat" record.
constexpr std::size_t kSetId = 0;
constexpr std::size_t kSetFirstTimeout = 64;
constexpr std::size_t kSetSecondTimeout = 76;
constexpr std::size_t kSetAlerts = 88;

// "SntQMXMSG.dat" record.
constexpr std::size_t kMsgLastMessage = 0;
constexpr std::size_t kMsgZoneName = 80;
constexpr std::size_t kMsgPath = 144;
constexpr std::size_t kMsgZonePath = 152;
constexpr std::size_t kMsgDayPath = 160;
constexpr std::size_t kMsgReceivedAt = 168;
constexpr std::size_t kMsgMessageTime = 180;
constexpr std::size_t kMsgZoneEntryTime = 192;
constexpr std::size_t kMsgEventTime = 204;
constexpr std::size_t kMsgEventKind = 216;
constexpr std::size_t kMsgEventText = 220;
constexpr std::size_t kMsgAlarmText = 284;
constexpr std::size_t kMsgInputs = 352;

// "SntHistory.dat" entry.
constexpr std::size_t kHisZoneName = 0;
constexpr std::size_t kHisZoneIndex = 64;
constexpr std::size_t kHisArrival = 68;
constexpr std::size_t kHisDeparture = 80;

// The history header carries the number in four digits and the count in two.
constexpr int32_t kMaxHistoryNumber = 9999;
constexpr int32_t kMaxHistoryEntries = 99;

const uint8_t* At(const std::string& bytes, std::size_t offset) {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

// Appends a zero-filled record of `size` bytes and returns its first byte.
uint8_t* NewRecord(std::string& bytes, std::size_t size) {
    const std::size_t start = bytes.size();
    bytes.resize(start + size, '\0');
    return reinterpret_cast<uint8_t*>(bytes.data()) + start;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitsValue(const std::string& bytes, std::size_t offset, std::size_t count) {
    int v = 0;
    for (std::size_t k = 0; k < count; ++k)
        v = v * 10 + (bytes[offset + k] - '0');
    return v;
}

// A header is exactly what the writer produces: "[" 4 digits "=" 2 digits 1 digit "]".
// Anything else means the file is not one of ours or is damaged, and reading stops there.
bool IsHistoryHeader(const std::string& bytes, std::size_t offset) {
    if (bytes[offset] != '[' || bytes[offset + 5] != '=' || bytes[offset + 9] != ']') {
        return false;
    }
    constexpr std::array<std::size_t, 7> kDigitAt{1, 2, 3, 4, 6, 7, 8};
    for (const std::size_t k : kDigitAt) {
        if (!IsDigit(bytes[offset + k]))
            return false;
    }
    return true;
}

void EncodeSettingsRecord(std::string& out, const ObjectRecord& o) {
    uint8_t* p = NewRecord(out, CDataStore::kSettingsRecordSize);
    ByteIO::PutText(p + kSetId, kTextField, o.id);
    o.firstTimeout.Encode(p + kSetFirstTimeout);
    o.secondTimeout.Encode(p + kSetSecondTimeout);
    for (int k = 0; k < AlertSettings::kCount; ++k) {
        ByteIO::PutI32(p + kSetAlerts + 4 * static_cast<std::size_t>(k), o.alertSettings[k]);
    }
}

void EncodeMessageRecord(std::string& out, const ObjectRecord& o) {
    uint8_t* p = NewRecord(out, CDataStore::kMessageRecordSize);
    std::memcpy(p + kMsgLastMessage, o.lastMessage.data(), ObjectRecord::kMessageSize);
    ByteIO::PutText(p + kMsgZoneName, kTextField,
                    o.currentZoneName != "---" ? o.currentZoneName : o.lastZoneName);
    ByteIO::PutF64(p + kMsgPath, o.pathMetres);
    ByteIO::PutF64(p + kMsgZonePath, o.zonePathMetres);
    ByteIO::PutF64(p + kMsgDayPath, o.dayPathMetres);
    o.lastReceivedAt.Encode(p + kMsgReceivedAt);
    o.lastMessageTime.Encode(p + kMsgMessageTime);
    o.zoneEntryTime.Encode(p + kMsgZoneEntryTime);
    o.lastEventTime.Encode(p + kMsgEventTime);
    ByteIO::PutI32(p + kMsgEventKind, o.lastEventKind);
    ByteIO::PutText(p + kMsgEventText, kTextField, o.lastEventText);
    ByteIO::PutText(p + kMsgAlarmText, kTextField, o.alarmText);
    // Bytes 348..351 stay zero.
    for (std::size_t k = 0; k < ObjectRecord::kInputCount; ++k) {
        ByteIO::PutI32(p + kMsgInputs + 4 * k, o.inputs[k]);
    }
}

void EncodeHistoryEntry(std::string& out, const VisitHistory& h, std::size_t i) {
    uint8_t* p = NewRecord(out, CDataStore::kHistoryEntrySize);
    ByteIO::PutText(p + kHisZoneName, kTextField, h.zoneNames[i]);
    ByteIO::PutI32(p + kHisZoneIndex, h.zoneIndexes[i]);
    h.arrivalTimes[i].Encode(p + kHisArrival);
    h.departureTimes[i].Encode(p + kHisDeparture);
}

// The history of an object goes into the file only when its header can hold it in
// exactly ten bytes; otherwise every block after it would be read from the wrong place.
bool HistoryFitsHeader(int32_t number, const VisitHistory& h) {
    if (number < 0 || number > kMaxHistoryNumber)
        return false;
    if (h.visitCount < 0 || h.visitCount > kMaxHistoryEntries)
        return false;
    const auto count = static_cast<std::size_t>(h.visitCount);
    return h.zoneNames.size() >= count && h.zoneIndexes.size() >= count &&
           h.arrivalTimes.size() >= count && h.departureTimes.size() >= count;
}

void AppendZoneBlock(std::string& out, int32_t number, char roleMark, const ZoneAssignment& a,
                     bool destination, const CZoneMap& zoneMap) {
    std::string names;
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(a.count, 0)),
                                             std::min(a.zones.size(), a.roles.size()));
    for (std::size_t k = 0; k < count; ++k) {
        if ((a.roles[k] == Destination) != destination)
            continue;
        // An index the map does not know has no name to store under.
        const int zone = a.zones[k];
        if (zone < 0 || zone >= zoneMap.ZoneCount())
            continue;
        names += zoneMap.Zone(zone).name;
        names += "\r\n";
    }
    if (names.empty())
        return;
    out += TextUtil::Format("[ID=%04i%c]\r\n", number, roleMark);
    out += names;
}

}  // namespace

std::string CDataStore::EncodeSettingsFile() const {
    std::string settings;
    for (int i = 0; i < objectCount; ++i)
        EncodeSettingsRecord(settings, Object(i));
    return settings;
}

std::string CDataStore::EncodeMessagesFile() const {
    std::string messages;
    for (int i = 0; i < objectCount; ++i) {
        const ObjectRecord& o = Object(i);
        if ((o.hasMessage & kHasPosition) != 0)
            EncodeMessageRecord(messages, o);
    }
    return messages;
}

bool CDataStore::SaveState() {
    if (!FileSystem::WriteFileAtomically(FilePath(kSettingsFile), EncodeSettingsFile()))
        return false;
    return FileSystem::WriteFileAtomically(FilePath(kMessagesFile), EncodeMessagesFile());
}

void CDataStore::LoadState() {
    std::string bytes;
    if (!FileSystem::ReadWholeFile(FilePath(kSettingsFile), bytes))
        return;
    if (bytes.size() % kSettingsRecordSize != 0)
        return;
    // One lookup per record: by table, not by a scan over all objects.
    const CObjectIndex objects(*this);
    for (std::size_t r = 0; r < bytes.size(); r += kSettingsRecordSize) {
        const uint8_t* p = At(bytes, r);
        const int i = objects.ById(ByteIO::GetText(p + kSetId, kTextField));
        if (i < 0)
            continue;
        ObjectRecord& o = Object(i);
        o.firstTimeout = DateTime::Decode(p + kSetFirstTimeout);
        o.secondTimeout = DateTime::Decode(p + kSetSecondTimeout);
        for (int k = 0; k < AlertSettings::kCount; ++k) {
            o.alertSettings[k] = ByteIO::GetI32(p + kSetAlerts + 4 * static_cast<std::size_t>(k));
        }
        o.hasSettings = 1;
    }

    if (!FileSystem::ReadWholeFile(FilePath(kMessagesFile), bytes))
        return;
    if (bytes.size() % kMessageRecordSize != 0)
        return;
    for (std::size_t r = 0; r < bytes.size(); r += kMessageRecordSize) {
        const uint8_t* p = At(bytes, r);
        const int i = objects.ByNumber(ByteIO::GetI32(p + kMsgLastMessage));
        if (i < 0)
            continue;
        ObjectRecord& o = Object(i);
        std::memcpy(o.lastMessage.data(), p + kMsgLastMessage, ObjectRecord::kMessageSize);
        o.lastZoneName = ByteIO::GetText(p + kMsgZoneName, kTextField);
        o.pathMetres = ByteIO::GetF64(p + kMsgPath);
        o.zonePathMetres = ByteIO::GetF64(p + kMsgZonePath);
        o.dayPathMetres = ByteIO::GetF64(p + kMsgDayPath);
        o.lastReceivedAt = DateTime::Decode(p + kMsgReceivedAt);
        o.lastMessageTime = DateTime::Decode(p + kMsgMessageTime);
        o.zoneEntryTime = DateTime::Decode(p + kMsgZoneEntryTime);
        o.lastEventKind = ByteIO::GetI32(p + kMsgEventKind);
        // Without an event the stored time means nothing.
        if (o.lastEventKind != 0)
            o.lastEventTime = DateTime::Decode(p + kMsgEventTime);
        o.alarmText = ByteIO::GetText(p + kMsgAlarmText, kTextField);
        o.lastEventText = ByteIO::GetText(p + kMsgEventText, kTextField);
        for (std::size_t k = 0; k < ObjectRecord::kInputCount; ++k) {
            o.inputs[k] = ByteIO::GetI32(p + kMsgInputs + 4 * k);
        }
        o.hasMessage = kHasPosition;
    }

    LoadHistory();
}

std::string CDataStore::EncodeHistoryFile() const {
    std::string bytes;
    for (int i = 0; i < objectCount; ++i) {
        const ObjectRecord& o = Object(i);
        const int32_t number = o.Number();
        const VisitHistory& h = o.history;
        if (!HistoryFitsHeader(number, h))
            continue;
        bytes += TextUtil::Format("[%04i=%02i%01i]", number, h.visitCount,
                                  h.lastVisitClosed != 0 ? 1 : 0);
        // Oldest first, so that replaying the entries through StartVisit rebuilds the
        // newest-first order.
        for (int k = h.visitCount - 1; k >= 0; --k) {
            EncodeHistoryEntry(bytes, h, static_cast<std::size_t>(k));
        }
    }
    return bytes;
}

bool CDataStore::SaveHistory() {
    return FileSystem::WriteFileAtomically(FilePath(kHistoryFile), EncodeHistoryFile());
}

bool CDataStore::LoadHistory() {
    std::string bytes;
    if (!FileSystem::ReadWholeFile(FilePath(kHistoryFile), bytes))
        return false;

    // The file replaces the histories: a reload of the zone file runs this again on
    // histories that are already filled, and must not add the stored visits twice.
    for (int i = 0; i < objectCount; ++i) {
        VisitHistory& h = Object(i).history;
        h.Clear();
        h.displayOffsetMinutes = timeOffsetMinutes;
    }

    const CObjectIndex objects(*this);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < kHistoryHeaderSize || !IsHistoryHeader(bytes, pos)) {
            return false;
        }
        const int number = DigitsValue(bytes, pos + 1, 4);
        const int count = DigitsValue(bytes, pos + 6, 2);
        const int state = bytes[pos + 8] - '0';
        pos += kHistoryHeaderSize;

        const std::size_t blockSize = static_cast<std::size_t>(count) * kHistoryEntrySize;
        // A block cut short is not loaded at all: its last entry's meaning depends on
        // the header, and the entries that are there would not be the whole history.
        if (bytes.size() - pos < blockSize)
            return false;

        const int i = objects.ByNumber(number);
        if (i >= 0) {
            VisitHistory& h = Object(i).history;
            for (int e = 0; e < count; ++e) {
                const uint8_t* p = At(bytes, pos + static_cast<std::size_t>(e) * kHistoryEntrySize);
                const DateTime departure = DateTime::Decode(p + kHisDeparture);
                // An open visit has no departure yet; it gets "never" rather than a
                // made-up time.
                h.StartVisit(ByteIO::GetText(p + kHisZoneName, kTextField),
                             ByteIO::GetI32(p + kHisZoneIndex), DateTime::Decode(p + kHisArrival),
                             DateTime::Never());
                const bool openVisit = e == count - 1 && state == 0;
                if (!openVisit)
                    h.EndVisit(departure, false);
            }
            h.lastVisitClosed = state != 0 ? 1 : 0;
            h.displayOffsetMinutes = timeOffsetMinutes;
        }
        pos += blockSize;
    }
    return true;
}

std::string CDataStore::EncodeZoneAssignmentsFile(const CZoneMap& zoneMap) const {
    std::string bytes;
    for (int i = 0; i < objectCount; ++i) {
        const ObjectRecord& o = Object(i);
        AppendZoneBlock(bytes, o.Number(), '+', o.zoneAssignment, true, zoneMap);
        AppendZoneBlock(bytes, o.Number(), '-', o.zoneAssignment, false, zoneMap);
    }
    return bytes;
}

bool CDataStore::SaveZoneAssignments(const CZoneMap& zoneMap) {
    return FileSystem::WriteFileAtomically(FilePath(kZoneAssignmentsFile),
                                           EncodeZoneAssignmentsFile(zoneMap));
}

bool CDataStore::LoadZoneAssignments(const CZoneMap& zoneMap) {
    // The file replaces the assignments, whether or not it can be read: after a reload of
    // the zone file the indices held so far belong to the old map and would name other
    // zones in the new one. Without the file, no object has an assignment.
    for (int i = 0; i < objectCount; ++i)
        Object(i).zoneAssignment = ZoneAssignment{};

    std::string bytes;
    if (!FileSystem::ReadWholeFile(FilePath(kZoneAssignmentsFile), bytes))
        return false;

    const CObjectIndex objects(*this);
    int current = -1;
    int role = Forbidden;
    for (const std::string& line : TextUtil::SplitLines(bytes)) {
        if (!line.empty() && line[0] == '[') {
            current = -1;
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            // The number runs from after "=" to the two closing bytes ("+]" or "-]").
            const std::size_t begin = eq + 1;
            if (line.size() < 2 || line.size() - 2 <= begin)
                continue;
            const int32_t number =
                TextUtil::LeadingInt(std::string_view(line).substr(begin, line.size() - 2 - begin));
            role = line[line.size() - 2] == '+' ? Destination : Forbidden;
            current = objects.ByNumber(number);
            continue;
        }
        if (current < 0)
            continue;
        const int zone = zoneMap.FindZoneByName(line);
        if (zone < 0) {
            // A zone this map does not know ends its block.
            current = -1;
            continue;
        }
        ZoneAssignment& a = Object(current).zoneAssignment;
        if (a.CheckZone(zone, role) == 0) {
            a.SortByZoneDescending();
            a.Append(zone, role);
        }
    }
    return true;
}
