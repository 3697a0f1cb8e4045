// The program killed without warning, again and again, while message files pour into
// its inbox: no record may be lost, none applied twice, no data file left torn, and every
// position is in the track store once.
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

// Record k: a fix of object kObjects[k % 3] away from every zone, its number in the text.
std::string RecordBytes(int k) {
    InboxRecordHeader h;
    h.objectNumber = kObjects[k % 3];
    h.flags = InboxRecordHeader::kPositionFlag | InboxRecordHeader::kLastRecordFlag;
    h.messageTime = MessageTime(k);
    h.receiveTime = MessageTime(k);
    h.latitude = 56.0 + 0.00001 * k;
    h.longitude = 38.0;
    h.speed = 30.0;
    return EncodeInboxRecord(h, "n" + std::to_string(k));
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
        const bool fits = ms % 1000 == 0 && k >= 0 && k < fed &&
                          sqlite3_column_int(rows, 0) == kObjects[k % 3] &&
                          std::abs(sqlite3_column_double(rows, 2) - (56.0 + 0.00001 * k)) < 1e-9;
        ++counts[fits ? static_cast<std::size_t>(k) : counts.size() - 1];
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return counts;
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

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SENTREL_LOCK_FOLDER"), lockDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));

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
        QVERIFY2(tracks[static_cast<std::size_t>(k)] == 1,
                 qPrintable(QStringLiteral("record %1 kept %2 times")
                                .arg(k)
                                .arg(tracks[static_cast<std::size_t>(k)])));
#endif

    // The counter counted each once; each object's state is its newest record.
    WindowLayout layout(folder + "/Interface.ini");
    layout.LoadLayout();
    QCOMPARE(layout.totalMessageCount, fed);
    CDataStore store(folder);
    QVERIFY(store.LoadAddressBook(folder + "/AddrBook.txt"));
    store.LoadState();
    for (int j = 0; j < 3; ++j) {
        int newest = fed - 1;
        while (newest % 3 != j)
            --newest;
        const ObjectRecord& o = store.Object(store.FindObjectByNumber(kObjects[j]));
        QCOMPARE(o.lastMessageTime.date, MessageTime(newest).date);
        QCOMPARE(o.lastMessage, InboxRecordHeader::Decode(
                                    reinterpret_cast<const uint8_t*>(RecordBytes(newest).data()))
                                    .raw);
    }
}

QTEST_GUILESS_MAIN(TestIntakeKill)
#include "tst_intake_kill.moc"
