#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "MakeTempFolder.h"
#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "zones/ZoneMap.h"

namespace {

// ---- expected bytes, written down from the file layouts (little-endian) ----

void PutLE(std::string& b, std::size_t off, uint64_t v, int n) {
    if (b.size() < off + static_cast<std::size_t>(n))
        b.resize(off + static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        b[off + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
}
void PutI32At(std::string& b, std::size_t off, int32_t v) {
    PutLE(b, off, static_cast<uint32_t>(v), 4);
}
void PutF64At(std::string& b, std::size_t off, double v) {
    PutLE(b, off, std::bit_cast<uint64_t>(v), 8);
}
// A date-time: the OLE date as a double, then the int32 status.
void PutTimeAt(std::string& b, std::size_t off, double oleDate, int32_t status = 0) {
    PutF64At(b, off, oleDate);
    PutI32At(b, off + 8, status);
}
void PutTextAt(std::string& b, std::size_t off, const std::string& text) {
    if (b.size() < off + text.size())
        b.resize(off + text.size());
    b.replace(off, text.size(), text);
}

constexpr double kNever = -657434.0;  // 1 January 100

// One history entry: 64-byte name, int32 zone index, arrival, departure.
std::string HistoryEntry(const std::string& name, int32_t zone, double arrival, double departure) {
    std::string e(92, '\0');
    PutTextAt(e, 0, name);
    PutI32At(e, 64, zone);
    PutTimeAt(e, 68, arrival);
    PutTimeAt(e, 80, departure);
    return e;
}

// A message-state record holding only the object number and the given event.
std::string MessageRecord(int32_t number, int32_t kind, double eventTime) {
    std::string r(440, '\0');
    PutI32At(r, 0, number);
    PutTextAt(r, 80, "Zone");
    for (std::size_t off : {168u, 180u, 192u})
        PutTimeAt(r, off, kNever);
    PutTimeAt(r, 204, eventTime);
    PutI32At(r, 216, kind);
    PutTextAt(r, 220, "---");
    return r;
}

std::string SettingsRecord(const std::string& id, double first) {
    std::string r(152, '\0');
    PutTextAt(r, 0, id);
    PutTimeAt(r, 64, first);
    PutTimeAt(r, 76, kNever);
    return r;
}

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeTempFolder("sentrel-datafiles");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const char* name) const { return dir_ + "/" + name; }
    std::string Read(const char* name) const {
        std::ifstream f(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    void Write(const char* name, const std::string& bytes) const {
        std::ofstream f(Path(name), std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    bool Exists(const char* name) const { return std::filesystem::exists(Path(name)); }

    CDataStore NewStore(const std::string& book) const {
        CDataStore store(dir_);
        EXPECT_TRUE(store.LoadAddressBookFromBytes(book));
        return store;
    }

    static CZoneMap Zones() {
        CZoneMap map;
        for (const std::string& name :
             {std::string("Alpha"), std::string("Beta"), std::string("Gamma"), W("Склад")}) {
            ZoneRecord z;
            z.name = name;
            map.AppendZone(z);
        }
        return map;
    }

    std::string dir_;
};

// Object 0 ("12") carries a value in every stored field; object 1 ("7") has only an alarm,
// object 2 ("5") a position message but no current zone.
void FillState(CDataStore& store) {
    ObjectRecord& a = store.Object(0);
    a.firstTimeout = DateTime(5.0 / 1440.0);
    a.secondTimeout = DateTime(30.0 / 1440.0);
    a.alertSettings[0] = 1;
    a.alertSettings[8] = -1;
    a.alertSettings[15] = 2;
    a.hasMessage = kHasPosition | kHasAlarm;
    a.lastMessage[0] = 12;
    for (std::size_t k = 4; k < 80; ++k)
        a.lastMessage[k] = static_cast<uint8_t>(k * 3);
    a.currentZone = 3;
    a.currentZoneName = W("Склад");
    a.lastZoneName = "Old";
    a.pathMetres = 1234.5;
    a.zonePathMetres = 10.25;
    a.dayPathMetres = 99.0;
    a.lastReceivedAt = DateTime(45351.75);
    a.lastMessageTime = DateTime(45351.5);
    a.zoneEntryTime = DateTime(45351.25, 1);
    a.lastEventTime = DateTime(45350.125);
    a.lastEventKind = -4;
    a.lastEventText = W("Склад");
    a.alarmText = std::string(70, 'x');
    for (int k = 0; k < 5; ++k)
        a.inputs[8 + static_cast<std::size_t>(k)] = k + 1;

    store.Object(1).hasMessage = kHasAlarm;
    store.Object(1).alarmText = "alarm only";

    ObjectRecord& c = store.Object(2);
    c.hasMessage = kHasPosition;
    c.lastMessage[0] = 5;
    c.lastZoneName = "Yard";
}

const char* const kBook = "12,Bus,x,y\r\n7,Car,x,y\r\n5,Van,x,y\r\n";

TEST_F(DataFiles, SettingsAndMessageFilesAreByteExact) {
    CDataStore store = NewStore(kBook);
    FillState(store);
    ASSERT_TRUE(store.SaveState());

    std::string settings(3 * 152, '\0');
    PutTextAt(settings, 0, "12");
    PutTimeAt(settings, 64, 5.0 / 1440.0);
    PutTimeAt(settings, 76, 30.0 / 1440.0);
    PutI32At(settings, 88 + 0 * 4, 1);
    PutI32At(settings, 88 + 8 * 4, -1);
    PutI32At(settings, 88 + 15 * 4, 2);
    PutTextAt(settings, 152, "7");
    PutTimeAt(settings, 152 + 64, kNever);
    PutTimeAt(settings, 152 + 76, kNever);
    PutTextAt(settings, 304, "5");
    PutTimeAt(settings, 304 + 64, kNever);
    PutTimeAt(settings, 304 + 76, kNever);
    EXPECT_EQ(Read(CDataStore::kSettingsFile), settings);

    // Only objects with a position message are stored: "12" and "5".
    std::string messages(2 * 440, '\0');
    messages[0] = 12;
    for (std::size_t k = 4; k < 80; ++k)
        messages[k] = static_cast<char>(k * 3);
    PutTextAt(messages, 80, W("Склад"));  // the current zone wins over the last one
    PutF64At(messages, 144, 1234.5);
    PutF64At(messages, 152, 10.25);
    PutF64At(messages, 160, 99.0);
    PutTimeAt(messages, 168, 45351.75);
    PutTimeAt(messages, 180, 45351.5);
    PutTimeAt(messages, 192, 45351.25, 1);
    PutTimeAt(messages, 204, 45350.125);
    PutI32At(messages, 216, -4);
    PutTextAt(messages, 220, W("Склад"));
    PutTextAt(messages, 284, std::string(63, 'x'));  // cut to 63 bytes, byte 347 stays 0
    for (int k = 0; k < 5; ++k)
        PutI32At(messages, 352 + 4 * (8 + static_cast<std::size_t>(k)), k + 1);

    messages[440] = 5;
    PutTextAt(messages, 440 + 80, "Yard");  // no current zone: the last one
    for (std::size_t off : {168u, 180u, 192u, 204u})
        PutTimeAt(messages, 440 + off, kNever);
    PutTextAt(messages, 440 + 220, "---");
    EXPECT_EQ(Read(CDataStore::kMessagesFile), messages);
}

TEST_F(DataFiles, StateRoundTripRestoresEveryStoredField) {
    {
        CDataStore store = NewStore(kBook);
        FillState(store);
        ASSERT_TRUE(store.SaveState());
    }
    CDataStore store = NewStore(kBook);
    store.LoadState();

    const ObjectRecord& a = store.Object(0);
    EXPECT_EQ(a.hasSettings, 1);
    EXPECT_EQ(a.firstTimeout, DateTime(5.0 / 1440.0));
    EXPECT_EQ(a.secondTimeout, DateTime(30.0 / 1440.0));
    EXPECT_EQ(a.alertSettings[0], 1);
    EXPECT_EQ(a.alertSettings[8], -1);
    EXPECT_EQ(a.alertSettings[15], 2);
    EXPECT_EQ(a.hasMessage, kHasPosition);
    EXPECT_EQ(a.lastMessage[0], 12);
    EXPECT_EQ(a.lastMessage[79], static_cast<uint8_t>(79 * 3));
    EXPECT_EQ(a.lastZoneName, W("Склад"));
    EXPECT_EQ(a.currentZone, -1);  // recomputed by the caller, not stored
    EXPECT_EQ(a.pathMetres, 1234.5);
    EXPECT_EQ(a.zonePathMetres, 10.25);
    EXPECT_EQ(a.dayPathMetres, 99.0);
    EXPECT_EQ(a.lastReceivedAt.date, 45351.75);
    EXPECT_EQ(a.lastMessageTime.date, 45351.5);
    EXPECT_EQ(a.zoneEntryTime.date, 45351.25);
    EXPECT_EQ(a.zoneEntryTime.status, 1);
    EXPECT_EQ(a.lastEventTime.date, 45350.125);
    EXPECT_EQ(a.lastEventKind, -4);
    EXPECT_EQ(a.lastEventText, W("Склад"));
    EXPECT_EQ(a.alarmText, std::string(63, 'x'));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(a.Sensor(k), k + 1);

    // An alarm alone is not message state.
    EXPECT_EQ(store.Object(1).hasSettings, 1);
    EXPECT_EQ(store.Object(1).hasMessage, 0);
    EXPECT_EQ(store.Object(1).alarmText, "");
    EXPECT_EQ(store.Object(2).hasMessage, kHasPosition);
    EXPECT_EQ(store.Object(2).lastZoneName, "Yard");
    EXPECT_TRUE(store.Object(2).lastEventTime.IsNever());
}

TEST_F(DataFiles, SettingsFileLengthDecidesWhetherLoadingGoesOn) {
    const std::string history = "[0012=011]" + HistoryEntry("A", 0, 45000.0, 45000.5);
    Write(CDataStore::kMessagesFile, MessageRecord(12, 6, 45001.0));
    Write(CDataStore::kHistoryFile, history);

    // Empty: valid, nothing in it, the message state and history are still read.
    Write(CDataStore::kSettingsFile, "");
    {
        CDataStore store = NewStore(kBook);
        store.LoadState();
        EXPECT_EQ(store.Object(0).hasSettings, 0);
        EXPECT_EQ(store.Object(0).hasMessage, kHasPosition);
        EXPECT_EQ(store.Object(0).history.visitCount, 1);
    }
    // 153 bytes: not whole records, so loading stops before the message state.
    Write(CDataStore::kSettingsFile, SettingsRecord("12", 0.25) + std::string(1, '\0'));
    {
        CDataStore store = NewStore(kBook);
        store.LoadState();
        EXPECT_EQ(store.Object(0).hasSettings, 0);
        EXPECT_EQ(store.Object(0).hasMessage, 0);
        EXPECT_EQ(store.Object(0).history.visitCount, 0);
    }
    // A record of an object that is gone is skipped; the next one still loads.
    Write(CDataStore::kSettingsFile, SettingsRecord("99", 0.5) + SettingsRecord("7", 0.25));
    {
        CDataStore store = NewStore(kBook);
        store.LoadState();
        EXPECT_EQ(store.Object(0).hasSettings, 0);
        EXPECT_EQ(store.Object(1).hasSettings, 1);
        EXPECT_EQ(store.Object(1).firstTimeout.date, 0.25);
    }
}

TEST_F(DataFiles, MessageFileRecordRules) {
    Write(CDataStore::kSettingsFile, "");
    Write(CDataStore::kHistoryFile, "[0012=011]" + HistoryEntry("A", 0, 45000.0, 45000.5));

    // Kind 0: the stored event time is ignored. An unknown number is skipped and the record
    // after it still loads. A text filling its whole field ends at the field's end.
    std::string noEvent = MessageRecord(12, 0, 45001.0);
    PutTextAt(noEvent, 284, std::string(64, 'z'));
    noEvent[348] = 'Q';
    Write(CDataStore::kMessagesFile,
          MessageRecord(99, 6, 1.0) + noEvent + MessageRecord(7, 6, 45002.0));
    {
        CDataStore store = NewStore(kBook);
        store.LoadState();
        EXPECT_EQ(store.Object(0).hasMessage, kHasPosition);
        EXPECT_EQ(store.Object(0).lastEventKind, 0);
        EXPECT_TRUE(store.Object(0).lastEventTime.IsNever());
        EXPECT_EQ(store.Object(0).alarmText, std::string(64, 'z'));
        EXPECT_EQ(store.Object(0).lastZoneName, "Zone");
        EXPECT_EQ(store.Object(1).lastEventKind, 6);
        EXPECT_EQ(store.Object(1).lastEventTime.date, 45002.0);
        EXPECT_EQ(store.Object(2).hasMessage, 0);
        EXPECT_EQ(store.Object(0).history.visitCount, 1);
    }
    // 441 bytes: the message state is ignored whole and the history is not loaded.
    Write(CDataStore::kMessagesFile, MessageRecord(12, 6, 45001.0) + std::string(1, '\0'));
    {
        CDataStore store = NewStore(kBook);
        store.LoadState();
        EXPECT_EQ(store.Object(0).hasMessage, 0);
        EXPECT_EQ(store.Object(0).history.visitCount, 0);
    }
}

TEST_F(DataFiles, HistoryFileIsByteExact) {
    CDataStore store = NewStore("12,A,x,y\r\n7,B,x,y\r\n12345,C,x,y\r\n5,D,x,y\r\n");
    VisitHistory& h12 = store.Object(0).history;
    h12.StartVisit("A", 3, DateTime(45000.0), DateTime(1.0));
    h12.EndVisit(DateTime(45000.5), true);
    h12.StartVisit("B", 1, DateTime(45001.0), DateTime(1.0));
    h12.EndVisit(DateTime(45001.5), true);
    h12.StartVisit(W("Склад"), 0, DateTime(45002.0), DateTime(1.0));
    h12.EndVisit(DateTime(45002.5), true);
    store.Object(1).history.StartVisit("D", 2, DateTime(45003.0), DateTime(45003.25));
    // Five digits do not fit the header: this object is left out, the rest stays readable.
    store.Object(2).history.StartVisit("E", 1, DateTime(45004.0), DateTime(1.0));
    ASSERT_TRUE(store.SaveHistory());

    const std::string expected = "[0012=031]" + HistoryEntry("A", 3, 45000.0, 45000.5) +
                                 HistoryEntry("B", 1, 45001.0, 45001.5) +
                                 HistoryEntry(W("Склад"), 0, 45002.0, 45002.5) + "[0007=010]" +
                                 HistoryEntry("D", 2, 45003.0, 45003.25) + "[0005=000]";
    EXPECT_EQ(Read(CDataStore::kHistoryFile), expected);
}

TEST_F(DataFiles, HistoryLoadRebuildsVisitsAndSkipsUnknownObjects) {
    const std::string file =
        "[0099=020]" + HistoryEntry("X", 9, 1.0, 2.0) + HistoryEntry("Y", 9, 3.0, 4.0) +
        "[0012=030]" + HistoryEntry("A", 3, 45000.0, 45000.5) +
        HistoryEntry("B", 1, 45001.0, 45001.5) + HistoryEntry("C", 0, 45002.0, 45002.5) +
        "[0007=011]" + HistoryEntry("D", 2, 45003.0, 45003.5);
    Write(CDataStore::kHistoryFile, file);
    CDataStore store = NewStore(kBook);
    store.timeOffsetMinutes = 180;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);  // loading again replaces, never adds
        ASSERT_TRUE(store.LoadHistory());
        const VisitHistory& h = store.Object(0).history;
        ASSERT_EQ(h.visitCount, 3);
        EXPECT_EQ(h.lastVisitClosed, 0);
        EXPECT_EQ(h.displayOffsetMinutes, 180);
        EXPECT_EQ(h.ZoneName(0), "C");
        EXPECT_EQ(h.ZoneIndex(0), 0);
        EXPECT_EQ(h.ArrivalTime(0).date, 45002.0);
        EXPECT_TRUE(h.DepartureTime(0).IsNever());  // still open: not read back
        EXPECT_EQ(h.ZoneName(1), "B");
        EXPECT_EQ(h.DepartureTime(1).date, 45001.5);
        EXPECT_EQ(h.ZoneName(2), "A");
        EXPECT_EQ(h.ZoneIndex(2), 3);
        EXPECT_EQ(h.DepartureTime(2).date, 45000.5);

        const VisitHistory& h7 = store.Object(1).history;
        ASSERT_EQ(h7.visitCount, 1);
        EXPECT_EQ(h7.lastVisitClosed, 1);
        EXPECT_EQ(h7.DepartureTime(0).date, 45003.5);
        EXPECT_EQ(store.Object(2).history.displayOffsetMinutes, 180);
    }
}

TEST_F(DataFiles, ZoneFileReloadDoesNotDuplicateHistories) {
    CDataStore store = NewStore(kBook);
    store.Object(0).history.StartVisit("A", 0, DateTime(45000.0), DateTime(1.0));
    store.Object(0).history.EndVisit(DateTime(45000.5), true);
    ASSERT_TRUE(store.SaveState());
    ASSERT_TRUE(store.SaveHistory());
    store.LoadState();
    store.LoadState();
    EXPECT_EQ(store.Object(0).history.visitCount, 1);
    EXPECT_EQ(store.Object(0).history.lastVisitClosed, 1);
}

TEST_F(DataFiles, DamagedHistoryEndsReadingAndKeepsWhatWasRead) {
    const std::string good = "[0012=011]" + HistoryEntry("A", 0, 45000.0, 45000.5);
    const std::string cases[] = {
        good + "[00a7=011]" + HistoryEntry("B", 0, 1.0, 2.0),  // not a number
        good + "(0007=011)" + HistoryEntry("B", 0, 1.0, 2.0),  // not our header
        good + "[0007=021]" + HistoryEntry("B", 0, 1.0, 2.0),  // block cut short
        good + "[0007",                                        // header cut short
    };
    for (const std::string& file : cases) {
        Write(CDataStore::kHistoryFile, file);
        CDataStore store = NewStore(kBook);
        EXPECT_FALSE(store.LoadHistory());
        EXPECT_EQ(store.Object(0).history.visitCount, 1);
        EXPECT_EQ(store.Object(1).history.visitCount, 0);
    }
    // A missing file changes nothing; an empty one is a history of nobody.
    std::filesystem::remove(Path(CDataStore::kHistoryFile));
    CDataStore store = NewStore(kBook);
    store.Object(0).history.StartVisit("A", 0, DateTime(1.0), DateTime(1.0));
    EXPECT_FALSE(store.LoadHistory());
    EXPECT_EQ(store.Object(0).history.visitCount, 1);
    Write(CDataStore::kHistoryFile, "");
    EXPECT_TRUE(store.LoadHistory());
    EXPECT_EQ(store.Object(0).history.visitCount, 0);
}

ZoneAssignment Assigned(std::initializer_list<std::pair<int, int>> entries) {
    ZoneAssignment a;
    for (const auto& [zone, role] : entries) {
        a.zones.push_back(zone);
        a.roles.push_back(role);
    }
    a.count = static_cast<int32_t>(a.zones.size());
    return a;
}

TEST_F(DataFiles, ZoneAssignmentFileIsByteExact) {
    CDataStore store = NewStore("12,A,x,y\r\n7,B,x,y\r\n5,C,x,y\r\n3,D,x,y\r\n");
    const CZoneMap map = Zones();
    store.Object(0).zoneAssignment = Assigned({{2, Destination}, {0, Forbidden}, {3, Destination}});
    store.Object(2).zoneAssignment = Assigned({{1, Forbidden}});
    store.Object(3).zoneAssignment = Assigned({{17, Destination}});  // not in this map
    ASSERT_TRUE(store.SaveZoneAssignments(map));
    EXPECT_EQ(Read(CDataStore::kZoneAssignmentsFile),
              "[ID=0012+]\r\nGamma\r\n" + W("Склад") +
                  "\r\n[ID=0012-]\r\nAlpha\r\n[ID=0005-]\r\nBeta\r\n");
}

TEST_F(DataFiles, ZoneAssignmentLoadRules) {
    Write(CDataStore::kZoneAssignmentsFile,
          // Names are added behind the existing ones after ordering them highest first.
          "[ID=0012+]\r\nAlpha\r\nGamma\r\nBeta\r\n"
          // A zone already assigned in the other role is not added again.
          "[ID=0012-]\r\nBeta\r\n"
          // An unknown first name ends the block: neither name is assigned.
          "[ID=0007+]\r\nNowhere\r\nAlpha\r\n"
          // Unknown object, or no "=": the names below are ignored up to the next header.
          "[ID=0099-]\r\nAlpha\r\n[NoNumber]\r\nBeta\r\n"
          "[ID=0005-]\r\nGamma\n\r\n"
          // The last line has no line end and is not read.
          "[ID=0003+]\r\nAlpha");
    CDataStore store = NewStore("12,A,x,y\r\n7,B,x,y\r\n5,C,x,y\r\n3,D,x,y\r\n");
    // Whatever was assigned before is replaced by the file.
    store.Object(0).zoneAssignment = Assigned({{3, Forbidden}});
    ASSERT_TRUE(store.LoadZoneAssignments(Zones()));

    const ZoneAssignment& a = store.Object(0).zoneAssignment;
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(a.zones, (std::vector<int32_t>{2, 0, 1}));
    EXPECT_EQ(a.roles, (std::vector<int32_t>{Destination, Destination, Destination}));
    EXPECT_EQ(store.Object(1).zoneAssignment.count, 0);
    EXPECT_EQ(store.Object(2).zoneAssignment.zones, (std::vector<int32_t>{2}));
    EXPECT_EQ(store.Object(2).zoneAssignment.roles, (std::vector<int32_t>{Forbidden}));
    EXPECT_EQ(store.Object(3).zoneAssignment.count, 0);

    // Without the file nothing is assigned: the indices held so far may be those of a
    // zone map that has just been replaced.
    std::filesystem::remove(Path(CDataStore::kZoneAssignmentsFile));
    EXPECT_FALSE(store.LoadZoneAssignments(Zones()));
    EXPECT_EQ(store.Object(0).zoneAssignment.count, 0);
    EXPECT_TRUE(store.Object(0).zoneAssignment.zones.empty());
    EXPECT_EQ(store.Object(2).zoneAssignment.count, 0);
}

TEST_F(DataFiles, ZoneAssignmentsRoundTrip) {
    const CZoneMap map = Zones();
    CDataStore store = NewStore(kBook);
    store.Object(0).zoneAssignment =
        Assigned({{3, Destination}, {0, Forbidden}, {1, Destination}, {2, Forbidden}});
    store.Object(2).zoneAssignment = Assigned({{0, Destination}});
    ASSERT_TRUE(store.SaveZoneAssignments(map));

    CDataStore loaded = NewStore(kBook);
    ASSERT_TRUE(loaded.LoadZoneAssignments(map));
    for (int i = 0; i < 3; ++i) {
        const ZoneAssignment& want = store.Object(i).zoneAssignment;
        const ZoneAssignment& got = loaded.Object(i).zoneAssignment;
        ASSERT_EQ(got.count, want.count);
        for (int k = 0; k < want.count; ++k) {
            EXPECT_EQ(got.CheckZone(want.zones[static_cast<std::size_t>(k)],
                                    want.roles[static_cast<std::size_t>(k)]),
                      1);
        }
    }
}

TEST_F(DataFiles, SettingsSurviveWhenTheMessageFileCannotBeWritten) {
    // A folder in the way makes replacing the message file impossible.
    std::filesystem::create_directories(Path(CDataStore::kMessagesFile) + std::string("/x"));
    Write(CDataStore::kSettingsFile, "old");
    CDataStore store = NewStore(kBook);
    FillState(store);
    EXPECT_FALSE(store.SaveState());
    EXPECT_EQ(Read(CDataStore::kSettingsFile).size(), 3u * 152u);
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == CDataStore::kSettingsFile || name == CDataStore::kMessagesFile) << name;
    }

    CDataStore lost(dir_ + "/missing-folder");
    ASSERT_TRUE(lost.LoadAddressBookFromBytes(kBook));
    EXPECT_FALSE(lost.SaveState());
    EXPECT_FALSE(lost.SaveHistory());
    EXPECT_FALSE(lost.SaveZoneAssignments(Zones()));
}

// Invariants every loader must leave behind, whatever the files held.
void ExpectSaneStore(const CDataStore& store, int zoneCount) {
    for (int i = 0; i < store.objectCount; ++i) {
        const VisitHistory& h = store.Object(i).history;
        ASSERT_GE(h.visitCount, 0);
        ASSERT_LE(h.visitCount, VisitHistory::kMaxVisits);
        ASSERT_EQ(h.zoneNames.size(), static_cast<std::size_t>(h.visitCount));
        ASSERT_EQ(h.departureTimes.size(), static_cast<std::size_t>(h.visitCount));
        const ZoneAssignment& a = store.Object(i).zoneAssignment;
        ASSERT_EQ(a.zones.size(), static_cast<std::size_t>(a.count));
        std::set<int32_t> seen;
        for (int32_t z : a.zones) {
            ASSERT_GE(z, 0);
            ASSERT_LT(z, zoneCount);
            ASSERT_TRUE(seen.insert(z).second);
        }
        for (const std::string* text : {&store.Object(i).alarmText, &store.Object(i).lastEventText,
                                        &store.Object(i).lastZoneName}) {
            ASSERT_LE(text->size(), 64u);
        }
    }
}

TEST_F(DataFiles, ReadersSurviveTruncatedOversizedAndRandomFiles) {
    const CZoneMap map = Zones();
    std::string originals[4];
    const char* names[4] = {CDataStore::kSettingsFile, CDataStore::kMessagesFile,
                            CDataStore::kHistoryFile, CDataStore::kZoneAssignmentsFile};
    {
        CDataStore store = NewStore(kBook);
        FillState(store);
        for (int v = 0; v < 5; ++v) {
            store.Object(0).history.StartVisit("Beta", 1, DateTime(45000.0 + v), DateTime(1.0));
            store.Object(0).history.EndVisit(DateTime(45000.5 + v), true);
        }
        store.Object(2).history.StartVisit("Gamma", 2, DateTime(45100.0), DateTime(1.0));
        store.Object(0).zoneAssignment = Assigned({{2, Destination}, {0, Forbidden}});
        ASSERT_TRUE(store.SaveState());
        ASSERT_TRUE(store.SaveHistory());
        ASSERT_TRUE(store.SaveZoneAssignments(map));
        for (int f = 0; f < 4; ++f)
            originals[f] = Read(names[f]);
    }

    std::mt19937 rng(7321);
    auto randomBytes = [&](std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(rng() % 256);
        return s;
    };
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const int f = static_cast<int>(rng() % 4);
        std::string bytes = originals[f];
        switch (rng() % 4) {
            case 0:  // truncated
                bytes.resize(rng() % (bytes.size() + 1));
                break;
            case 1:  // oversized
                bytes += randomBytes(1 + rng() % 600);
                break;
            case 2:  // damaged in place
                for (int k = 0, n = 1 + static_cast<int>(rng() % 8); k < n && !bytes.empty(); ++k) {
                    bytes[rng() % bytes.size()] = static_cast<char>(rng() % 256);
                }
                break;
            default:  // random
                bytes = randomBytes(rng() % 1500);
                break;
        }
        for (int g = 0; g < 4; ++g)
            Write(names[g], g == f ? bytes : originals[g]);

        CDataStore store = NewStore(kBook);
        store.LoadState();
        const bool specRead = store.LoadZoneAssignments(map);
        EXPECT_TRUE(specRead);
        ExpectSaneStore(store, map.ZoneCount());

        // The documented outcome of a wrong length.
        if (f == 0 && bytes.size() % 152 != 0) {
            for (int i = 0; i < store.objectCount; ++i) {
                EXPECT_EQ(store.Object(i).hasSettings, 0);
                EXPECT_EQ(store.Object(i).hasMessage, 0);
                EXPECT_EQ(store.Object(i).history.visitCount, 0);
            }
        }
        if (f == 1 && bytes.size() % 440 != 0) {
            for (int i = 0; i < store.objectCount; ++i) {
                EXPECT_EQ(store.Object(i).hasMessage, 0);
                EXPECT_EQ(store.Object(i).history.visitCount, 0);
            }
        }
        if (f == 2 && bytes.size() < originals[2].size() && bytes.size() != 0 &&
            originals[2].compare(0, bytes.size(), bytes) == 0) {
            // A cut history file is never reported as read to its end, unless the cut
            // falls exactly between two blocks.
            // Blocks: "12" with five visits, "7" with none, "5" with one.
            const bool atBlockEnd = bytes.size() == 10 + 5 * 92 || bytes.size() == 10 + 5 * 92 + 10;
            EXPECT_EQ(store.LoadHistory(), atBlockEnd) << bytes.size();
        }
    }
}

}  // namespace
