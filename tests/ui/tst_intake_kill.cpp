// The program killed without warning, again and again, while message files pour into
// its inbox and alerts are acknowledged: no record may be lost, none applied twice, no
// data file left torn, every position is in the track store once, every alert raised is
// in the alert journal once, and no acknowledgement is there without its alerts.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#ifdef SENTREL_WITH_TRACKS
#include <sqlite3.h>
#endif

#include "../core/ThreeZones.h"
#include "base/TextUtil.h"
#include "model/DataStore.h"
#include "model/InboxFile.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"
#include "zones/ZoneMap.h"

namespace {

constexpr int kCycles = 100;
const int32_t kObjects[] = {12, 7, 5};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

DateTime MessageTime(int k) {
    return DateTime::FromCalendar(2026, 12, 6, 0, 0, 0).AddMinutes(k / 60.0);
}

// Record k is of object kObjects[k % 3], its number in the text. Every tenth is an alarm;
// the others are fixes, each object's in zone A (its destination) one time in four and
// away from every zone otherwise, every seventh with the power-on mark.
bool IsAlarm(int k) {
    return k % 10 == 9;
}
bool InZoneA(int k) {
    return (k / 3) % 4 == 1;
}
bool PowersOn(int k) {
    return k % 7 == 0;
}
double Latitude(int k) {
    return InZoneA(k) ? 55.0 + 0.000001 * (k % 1000) : 56.0 + 0.00001 * k;
}

std::string RecordBytes(int k) {
    InboxRecordHeader h;
    h.objectNumber = kObjects[k % 3];
    h.flags = (IsAlarm(k) ? InboxRecordHeader::kAlarmFlag : InboxRecordHeader::kPositionFlag) |
              InboxRecordHeader::kLastRecordFlag;
    h.messageTime = MessageTime(k);
    h.receiveTime = MessageTime(k);
    h.latitude = IsAlarm(k) ? 0.0 : Latitude(k);
    h.longitude = IsAlarm(k) ? 0.0 : 37.0;
    h.speed = 30.0;
    return EncodeInboxRecord(h, "n" + std::to_string(k) + (PowersOn(k) ? " PU 1" : ""));
}

// The alerts records 0..fed-1 raise, every alert switched on, as (k, kind) with the kinds
// the journal stores: 1 alarm, 2 power-on, 3 arrival in and 4 departure from a
// destination zone. Each object starts outside every zone.
std::set<std::pair<int, int>> ExpectedAlerts(int fed) {
    std::set<std::pair<int, int>> alerts;
    bool inZone[3] = {false, false, false};
    for (int k = 0; k < fed; ++k) {
        if (IsAlarm(k)) {
            alerts.insert({k, 1});
            continue;
        }
        bool& in = inZone[k % 3];
        if (InZoneA(k) != in)
            alerts.insert({k, in ? 4 : 3});
        in = InZoneA(k);
        if (PowersOn(k))
            alerts.insert({k, 2});
    }
    return alerts;
}

#ifdef SENTREL_WITH_TRACKS
// How many times each record k is in the track store, read with SQLite itself: its
// message time is MessageTime(k), 6 Dec 2026 00:00 UTC (1796515200000 ms since 1970)
// plus k seconds. Records of another object than record k's, or at another time, count
// as -1 at the end.
std::vector<int> TrackCounts(const std::string& path, int fed) {
    std::vector<int> counts(static_cast<std::size_t>(fed) + 1, 0);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {};
    }
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, "SELECT object, message_time, latitude FROM points", -1, &rows, nullptr);
    while (rows != nullptr && sqlite3_step(rows) == SQLITE_ROW) {
        const int64_t ms = sqlite3_column_int64(rows, 1) - 1796515200000;
        const int64_t k = ms / 1000;
        const bool fits =
            ms % 1000 == 0 && k >= 0 && k < fed && !IsAlarm(static_cast<int>(k)) &&
            sqlite3_column_int(rows, 0) == kObjects[k % 3] &&
            std::abs(sqlite3_column_double(rows, 2) - Latitude(static_cast<int>(k))) < 1e-9;
        ++counts[fits ? static_cast<std::size_t>(k) : counts.size() - 1];
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return counts;
}

// The numbers SQLite gives for `sql`, one per row (the first column).
std::vector<int64_t> Numbers(const std::string& path, const char* sql) {
    std::vector<int64_t> numbers;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* rows = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &rows, nullptr);
        while (rows != nullptr && sqlite3_step(rows) == SQLITE_ROW)
            numbers.push_back(sqlite3_column_int64(rows, 0));
        sqlite3_finalize(rows);
    }
    sqlite3_close(db);
    return numbers;
}
#endif

}  // namespace

class TestIntakeKill : public QObject {
    Q_OBJECT
private slots:
    void killedAHundredTimesLosesAndRepeatsNothing();
};

void TestIntakeKill::killedAHundredTimesLosesAndRepeatsNothing() {
    QTemporaryDir dir;
    QTemporaryDir lockDir;
    QVERIFY(dir.isValid() && lockDir.isValid());
    const std::string folder = dir.path().toStdString();
    const std::string inbox = folder + "/Inbox";
    std::filesystem::create_directories(inbox);
    const QString binary = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../../src/app/sentrel"));
    const QString copy = dir.filePath(QStringLiteral("sentrel"));
    QVERIFY2(QFile::copy(binary, copy), qPrintable(binary));

    WriteAll(folder + "/AddrBook.txt", "12,Truck,x,\r\n7,Bus,x,\r\n5,Van,x,\r\n");
    WriteAll(folder + "/maps.mrk", consoletest::ZoneFileBytes());
    Settings settings = Settings::Defaults(folder + "/Sounds/Alarm.wav");
    settings.channelOutFolder = inbox + "/";
    settings.qmxInfoFile = folder + "/maps.mrk";
    settings.channelObj = folder + "/AddrBook.txt";
    settings.timer = 100;
    QVERIFY(::SaveSettings(folder + "/Sentrel.ini", settings, "|12||7||5|"));
    {
        // Every alert on for the three (Van's pop-ups off: its alerts are kept all the
        // same), zone A their destination.
        CDataStore prepared(folder);
        QVERIFY(prepared.LoadAddressBook(folder + "/AddrBook.txt"));
        CZoneMap map;
        QVERIFY(map.Load(folder + "/maps.mrk"));
        for (const int32_t number : kObjects) {
            ObjectRecord& o = prepared.Object(prepared.FindObjectByNumber(number));
            o.hasSettings = 1;
            o.firstTimeout = settings.firstTimeOut;
            o.secondTimeout = settings.secondTimeOut;
            o.alertSettings.values.fill(1);
            if (number == 5) {
                o.alertSettings.values[AlertSettings::kAlarmPopup] = 0;
                o.alertSettings.values[AlertSettings::kPowerOnPopup] = 0;
                o.alertSettings.values[AlertSettings::kDestinationPopup] = 0;
            }
            o.zoneAssignment.Append(0, Destination);
        }
        WriteAll(prepared.FilePath(CDataStore::kSettingsFile), prepared.EncodeSettingsFile());
        WriteAll(prepared.FilePath(CDataStore::kZoneAssignmentsFile),
                 prepared.EncodeZoneAssignmentsFile(map));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SENTREL_LOCK_FOLDER"), lockDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // "Сбросить оповещения" for all three every 100 ms, while it runs.
    env.insert(QStringLiteral("SENTREL_TEST_ACKNOWLEDGE"), QStringLiteral("12,7,5"));

    // The files appear whole under their final names, as the terminal system's do.
    int fed = 0;
    auto feed = [&] {
        const int32_t number = kObjects[fed % 3];
        const int second = fed;  // one file a second of message time
        const std::string name =
            TextUtil::Format("%02i%02i%02i%02i.%03i", 6 + second / 86400, second / 3600 % 24,
                             second / 60 % 60, second % 60, number);
        const std::string part = inbox + "/feeding.part";
        WriteAll(part, RecordBytes(fed));
        std::filesystem::rename(part, inbox + "/" + name);
        ++fed;
    };
    auto inboxEmpty = [&] { return std::filesystem::is_empty(inbox); };

    std::mt19937 random(20261208);
    for (int cycle = 0; cycle <= kCycles; ++cycle) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(copy, {});
        QVERIFY(process.waitForStarted(5000));
        if (cycle < kCycles) {
            // Killed at a random moment, files arriving all the while.
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(100 + random() % 500);
            while (std::chrono::steady_clock::now() < until) {
                feed();
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
        } else {
            // The last run takes what is left.
            QTRY_VERIFY_WITH_TIMEOUT(inboxEmpty(), 60000);
        }
        process.kill();
        QVERIFY(process.waitForFinished(5000));
    }
    QVERIFY(fed > 1000);

    // Every record is in the log exactly once.
    const std::string log = ReadAll(folder + "/SntOld.log") + ReadAll(folder + "/Sentrel.log");
    std::vector<int> seen;
    for (std::size_t at = log.find(" (n"); at != std::string::npos; at = log.find(" (n", at + 3))
        seen.push_back(std::atoi(log.c_str() + at + 3));
    std::sort(seen.begin(), seen.end());
    QCOMPARE(static_cast<int>(seen.size()), fed);
    for (int k = 0; k < fed; ++k)
        QCOMPARE(seen[static_cast<std::size_t>(k)], k);

#ifdef SENTREL_WITH_TRACKS
    // Every position in the track store, each once.
    const std::vector<int> tracks = TrackCounts(folder + "/SntTracks.db", fed);
    QCOMPARE(static_cast<int>(tracks.size()), fed + 1);
    QCOMPARE(tracks.back(), 0);
    for (int k = 0; k < fed; ++k)
        QVERIFY2(tracks[static_cast<std::size_t>(k)] == (IsAlarm(k) ? 0 : 1),
                 qPrintable(QStringLiteral("record %1 kept %2 times")
                                .arg(k)
                                .arg(tracks[static_cast<std::size_t>(k)])));

    // Every alert raised in the journal, each once: (k, kind) of each row, from its
    // message time, with its object checked; a row of no record k counts as (-1, kind).
    const std::string db = folder + "/SntTracks.db";
    std::multiset<std::pair<int, int>> journal;
    for (const int64_t v :
         Numbers(db,
                 "SELECT ((message_time - 1796515200000) * 10 + kind) * 100 + object"
                 " FROM alerts")) {
        const int64_t object = v % 100;
        const int64_t kind = v / 100 % 10;
        const int64_t ms = v / 1000;
        const int64_t k = ms / 1000;
        const bool fits = ms % 1000 == 0 && k >= 0 && k < fed && object == kObjects[k % 3];
        journal.insert({fits ? static_cast<int>(k) : -1, static_cast<int>(kind)});
    }
    const std::set<std::pair<int, int>> expected = ExpectedAlerts(fed);
    QVERIFY(expected.size() > static_cast<std::size_t>(fed) / 5);
    for (const auto& alert : journal)
        QVERIFY2(expected.count(alert) == 1 && journal.count(alert) == 1,
                 qPrintable(QStringLiteral("record %1, kind %2: in the journal %3 times")
                                .arg(alert.first)
                                .arg(alert.second)
                                .arg(journal.count(alert))));
    QCOMPARE(journal.size(), expected.size());

    // Acknowledgements were made, each covers at least one alert, and only alerts raised
    // before it; no alert points to an acknowledgement that is not there.
    QVERIFY(Numbers(db, "SELECT COUNT(*) FROM acknowledgements").at(0) > 0);
    QCOMPARE(Numbers(db,
                     "SELECT COUNT(*) FROM acknowledgements k WHERE NOT EXISTS"
                     " (SELECT 1 FROM alerts a WHERE a.ack_id = k.id)")
                 .at(0),
             int64_t{0});
    QCOMPARE(Numbers(db,
                     "SELECT COUNT(*) FROM alerts a LEFT JOIN acknowledgements k"
                     " ON k.id = a.ack_id WHERE a.ack_id IS NOT NULL AND"
                     " (k.id IS NULL OR k.time < a.raised OR k.time != a.ack_time)")
                 .at(0),
             int64_t{0});
#endif

    // The counter counted each once; each object's state is its newest record.
    WindowLayout layout(folder + "/Interface.ini");
    layout.LoadLayout();
    int positions = 0;
    for (int k = 0; k < fed; ++k)
        positions += IsAlarm(k) ? 0 : 1;
    QCOMPARE(layout.totalMessageCount, positions);
    CDataStore store(folder);
    QVERIFY(store.LoadAddressBook(folder + "/AddrBook.txt"));
    store.LoadState();
    for (int j = 0; j < 3; ++j) {
        int newest = fed - 1;
        while (newest % 3 != j)
            --newest;
        const ObjectRecord& o = store.Object(store.FindObjectByNumber(kObjects[j]));
        // An alarm stamps the message time too; the last message is the last fix.
        QCOMPARE(o.lastMessageTime.date, MessageTime(newest).date);
        while (IsAlarm(newest))
            newest -= 3;
        QCOMPARE(o.lastMessage, InboxRecordHeader::Decode(
                                    reinterpret_cast<const uint8_t*>(RecordBytes(newest).data()))
                                    .raw);
    }
}

QTEST_GUILESS_MAIN(TestIntakeKill)
#include "tst_intake_kill.moc"
