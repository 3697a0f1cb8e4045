// The intake under the conditions of a real shift: backlogs, slow writers, reloads while
// a file is being applied, a disk that refuses writes, a log at its size limit.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <atomic>
#include <random>

#include "ConsoleTestSupport.h"
#include "persist/CommitJournal.h"

using namespace consoletest;

namespace {

using IntakeTrustTest = ConsoleFixture;

}  // namespace

TEST_F(IntakeTrustTest, BacklogOfOneObjectIsAppliedInTheOrderOfItsNames) {
    Start();
    // Forty files of Truck, written to the folder in a shuffled order (the listing order
    // of a hashed directory is no better); the names carry the order of their times.
    std::vector<int> order(40);
    for (int k = 0; k < 40; ++k)
        order[static_cast<std::size_t>(k)] = k;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (const int k : order) {
        const InboxRecord r =
            Last(Fix(12, {55.0 + 0.001 * k, 37.5}, At(9, k), "n" + std::to_string(k), 10.0 + k));
        folder.Drop(TextUtil::Format("%08i.012", 3000001 + k), Bytes(r));
    }
#ifndef _WIN32
    // Not a message file, and opening it for reading would block: left alone.
    ASSERT_EQ(::mkfifo(folder.InboxPath("03000100.012").c_str(), 0600), 0);
#endif

    console->PollOnce();

    ObjectRecord& o = Object(12);
    EXPECT_EQ(o.lastMessageTime, At(9, 39));
    EXPECT_DOUBLE_EQ(o.latitude, 55.039);
    EXPECT_EQ(o.speedKmh, 49);
    const std::string log = folder.Log();
    std::size_t previous = 0;
    for (int k = 0; k < 40; ++k) {
        const std::size_t at = log.find("(n" + std::to_string(k) + ")");
        ASSERT_NE(at, std::string::npos) << k;
        EXPECT_GT(at, previous) << "record " << k << " out of order";
        previous = at;
    }
#ifndef _WIN32
    EXPECT_TRUE(Exists(folder.InboxPath("03000100.012")));
#endif
}

// Files left over a month end: the 31st of December is applied before the 1st of January
// although its name sorts after it.
TEST_F(IntakeTrustTest, BacklogOverAMonthEndIsAppliedInTheOrderOfTime) {
    Start();
    clock.Set(DateTime::FromCalendar(2027, 1, 1, 0, 5, 0));
    const DateTime december = DateTime::FromCalendar(2026, 12, 31, 23, 59, 59);
    const DateTime january = DateTime::FromCalendar(2027, 1, 1, 0, 0, 1);
    folder.Drop("01000001.012", Bytes(Last(Fix(12, kOutside, january, "january"))));
    folder.Drop("31235959.012", Bytes(Last(Fix(12, kOutside, december, "december"))));

    console->PollOnce();
    EXPECT_EQ(Object(12).lastMessageTime, january);
    const std::string log = folder.Log();
    EXPECT_LT(log.find("(december)"), log.find("(january)"));
    EXPECT_NE(log.find("(january)"), std::string::npos);
}

TEST_F(IntakeTrustTest, FileWrittenInPiecesIsTakenWholeOnceComplete) {
    folder.settings.timer = 20;
    folder.SaveSettingsFile();
    Start();
    console->StartWorkers();
    const std::string bytes = Bytes(Fix(12, kOutside, At(9, 0), "first")) +
                              Bytes(Last(Fix(12, kOutside, At(9, 1), "second")));
    const std::string path = folder.InboxPath("06090000.012");
    // Three pieces a second apart, the second ending inside the second record.
    const std::size_t cuts[] = {50, bytes.size() - 10, bytes.size()};
    std::size_t written = 0;
    for (const std::size_t cut : cuts) {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out.write(bytes.data() + written, static_cast<std::streamsize>(cut - written));
        out.close();
        written = cut;
        if (cut != bytes.size())
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    EXPECT_TRUE(WaitUntil([&] { return !Exists(path); }));
    console->StopWorkersAndWait();
    EXPECT_EQ(console->runMessageCount, 2);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 1));
}

// A terminal writing a file record by record: whole records without the last one's flag
// wait while the file is young, so the records added later are applied with them.
TEST_F(IntakeTrustTest, YoungFileWithoutItsLastRecordWaitsForTheRest) {
    Start();
    const std::string path =
        folder.Drop("06090000.012", Bytes(Fix(12, kOutside, At(9, 0), "first")));
    console->PollOnce();
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(console->runMessageCount, 0);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << Bytes(Fix(12, kOutside, At(9, 1), "second"));
    }
    console->PollOnce();
    EXPECT_TRUE(Exists(path));
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << Bytes(Last(Fix(12, kOutside, At(9, 2), "third")));
    }
    console->PollOnce();
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(console->runMessageCount, 3);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 2));

    // A writer that stopped without flagging its last record: taken once settled.
    const std::string stopped =
        folder.Drop("06090100.012", Bytes(Fix(12, kOutside, At(9, 3), "fourth")));
    console->PollOnce();
    EXPECT_TRUE(Exists(stopped));
    std::filesystem::last_write_time(
        stopped, std::filesystem::last_write_time(stopped) - std::chrono::seconds(10));
    console->PollOnce();
    EXPECT_FALSE(Exists(stopped));
    EXPECT_EQ(console->runMessageCount, 4);
}

TEST_F(IntakeTrustTest, FailedSaveKeepsTheFileTellsOnceAndAppliesItOnceWhenTheDiskIsBack) {
    Start();
    // Every commit fails while the journal cannot be written.
    const std::string journal = folder.BlockCommits();
    const std::string path =
        folder.Drop("06090000.012", Bytes(Last(Fix(12, kInA, At(9, 0), "once"))));
    const std::string statePath = folder.dir.path() + "/SntQMXMSG.dat";
    const std::string stateBefore = ReadFile(statePath);

    console->PollOnce();
    console->PollOnce();
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(ReadFile(statePath), stateBefore);
    EXPECT_EQ(folder.Log(), "");
    EXPECT_EQ(view.saveFailures(), std::vector<bool>{true});

    std::filesystem::remove_all(journal);
    console->PollOnce();
    console->PollOnce();
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(view.saveFailures(), (std::vector<bool>{true, false}));
    EXPECT_EQ(console->runMessageCount, 1);
    EXPECT_EQ(Count(folder.Log(), "(once)"), 1u);

    // What is on the disk is what the store holds.
    console->ReloadState();
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 0));
    EXPECT_EQ(Object(12).currentZone, 0);
}

// The log is part of the commit: while it cannot be written the file stays, no new file
// is taken and the window is told once; once it can, each entry is written once.
TEST_F(IntakeTrustTest, LogThatCannotBeWrittenKeepsTheFilesUntilItCan) {
    Start();
    // The log's place taken by a folder that cannot be replaced.
    std::filesystem::create_directories(folder.paths.logPath + "/busy");
    const std::string first =
        folder.Drop("06090000.012", Bytes(Last(Fix(12, kInA, At(9, 0), "one"))));

    console->PollOnce();
    EXPECT_TRUE(Exists(first));
    EXPECT_EQ(view.saveFailures(), std::vector<bool>{true});
    // Nothing new is taken meanwhile, and the file taken is not applied again.
    const std::string second =
        folder.Drop("06090100.012", Bytes(Last(Fix(12, kInA, At(9, 1), "two"))));
    console->PollOnce();
    console->PollOnce();
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(Exists(second));
    EXPECT_EQ(console->runMessageCount, 1);
    EXPECT_EQ(view.saveFailures(), std::vector<bool>{true});

    std::filesystem::remove_all(folder.paths.logPath);
    console->PollOnce();
    console->PollOnce();
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(second));
    EXPECT_EQ(view.saveFailures(), (std::vector<bool>{true, false}));
    EXPECT_EQ(console->runMessageCount, 2);
    const std::string log = folder.Log();
    EXPECT_EQ(Count(log, "(one)"), 1u);
    EXPECT_EQ(Count(log, "(two)"), 1u);
    EXPECT_LT(log.find("(one)"), log.find("(two)"));

    console->ReloadState();
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 1));
}

TEST_F(IntakeTrustTest, LogAtItsLimitRotatesBetweenEntriesNeverInsideOne) {
    Start();
    const std::string full(static_cast<std::size_t>(CLogWriter::kRotateAboveBytes), 'x');
    WriteFile(folder.paths.logPath, full);
    Process(Fix(12, kOutside, At(9, 0), "one"), "/inbox/a.012");
    Process(Fix(12, kOutside, At(9, 1), "two"), "/inbox/b.012");

    const std::string head = "12/6/26 12:00:00 ";
    const std::string one = head + "/inbox/a.012 12 (one) 37.000000 55.050000 " +
                            W("Обрабатывалось") + " 12/6/26 9:00:00 (" + W("Путь") + "-0)\r\n";
    const std::string two = head + "/inbox/b.012 12 (two) 37.000000 55.050000 " +
                            W("Обрабатывалось") + " 12/6/26 9:01:00 (" + W("Путь") + "-0)\r\n";
    EXPECT_EQ(ReadFile(folder.paths.oldLogPath), full + one);
    EXPECT_EQ(folder.Log(), two);
}

namespace {

// Blocks the worker inside its first pop-up until released, with the store lock held,
// as a dispatcher's reload may meet it.
class BlockingView : public RecordingView {
public:
    void ShowPopup(const std::string& text, PopupKind kind) override {
        RecordingView::ShowPopup(text, kind);
        if (!entered.IsSet()) {
            entered.Set();
            release.Wait();
        }
    }
    ManualResetEvent entered;
    ManualResetEvent release;
};

}  // namespace

TEST(IntakeReloadTest, ReloadWaitsForTheWorkerAndKeepsWhatItApplied) {
    ConsoleWithView<BlockingView> rig;
    const ProgramFolder& folder = rig.folder;
    CConsole& console = *rig.console;
    BlockingView& view = rig.view;
    EnableAllAlerts(rig.Object(12));
    InboxRecord alarm =
        Record(Header(12, InboxRecordHeader::kAlarmFlag, At(9, 0), At(12, 0)), W("Тревога"));
    const InboxRecord fix = Last(Fix(12, kInA, At(9, 1), "after"));
    folder.Drop("06090000.012", Bytes(alarm) + Bytes(fix));
    console.StartWorkers();
    ASSERT_TRUE(view.entered.WaitFor(3000));

    // The address book is opened again while the worker is inside the file.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        view.release.Set();
    });
    EXPECT_TRUE(console.LoadAddressBook());
    console.ReloadState();
    releaser.join();
    EXPECT_TRUE(console.soundStopEvent.IsSet());

    // Both records of the file were applied, saved before the store was replaced and
    // read back: nothing of them was written over by the emptied store.
    auto lock = console.Lock();
    const ObjectRecord& o = console.store.Object(console.store.FindObjectByNumber(12));
    EXPECT_EQ(o.lastEventKind, kEventAlarm);
    EXPECT_EQ(o.lastMessageTime, At(9, 1));
    EXPECT_EQ(o.currentZone, 0);
    EXPECT_FALSE(Exists(folder.InboxPath("06090000.012")));
}

TEST(CommitJournalTest, CarriedOutTwiceLeavesEveryEffectOnce) {
    TempFolder dir;
    const std::string target = dir.path() + "/SntQMXMSG.dat";
    const std::string temporary = target + ".7.~sentrel-tmp";
    const std::string inboxFile = dir.path() + "/06090000.012";
    WriteFile(target, "old");
    WriteFile(temporary, "new contents");
    WriteFile(inboxFile, "record");
    WriteFile(dir.path() + "/Sentrel.log", "earlier\r\n");

    CCommitJournal journal;
    journal.replacements.push_back({temporary, target, 12});
    journal.logPath = dir.path() + "/Sentrel.log";
    journal.oldLogPath = dir.path() + "/SntOld.log";
    journal.log.sizeBefore = 9;
    journal.log.entries = {"first\r\n", "second\r\n"};
    journal.processedFiles = {{inboxFile, FileSystem::StampOf(inboxFile)}};

    CCommitJournal decoded;
    const std::string encoded = journal.Encode();
    ASSERT_TRUE(CCommitJournal::Decode(encoded, decoded));
    // A journal cut short or damaged is no journal.
    CCommitJournal ignored;
    EXPECT_FALSE(CCommitJournal::Decode(encoded.substr(0, encoded.size() - 1), ignored));
    std::string damaged = encoded;
    damaged[damaged.size() / 2] ^= 1;
    EXPECT_FALSE(CCommitJournal::Decode(damaged, ignored));

    // A crash during the first run (after the log entries were written) and the run at
    // the next start.
    std::vector<std::string> undeleted;
    ASSERT_TRUE(decoded.Complete(&undeleted));
    ASSERT_TRUE(decoded.Complete(&undeleted));
    EXPECT_TRUE(undeleted.empty());
    EXPECT_EQ(ReadFile(target), "new contents");
    EXPECT_FALSE(Exists(temporary));
    EXPECT_FALSE(Exists(inboxFile));
    EXPECT_EQ(ReadFile(journal.logPath), "earlier\r\nfirst\r\nsecond\r\n");

    // A temporary file that is not whole is never put in place.
    WriteFile(temporary, "cut");
    EXPECT_FALSE(decoded.Complete(&undeleted));
    EXPECT_EQ(ReadFile(target), "new contents");
}

TEST_F(IntakeTrustTest, JournalCarriedOutAfterAReloadIsReadIntoTheStore) {
    Start();
    // A data file held open (here: a folder in its place): the journal is written, but
    // carrying it out fails, and the state is read again meanwhile.
    const std::string statePath = folder.dir.path() + "/SntQMXMSG.dat";
    std::filesystem::remove(statePath);
    std::filesystem::create_directories(statePath + "/held");
    const std::string first =
        folder.Drop("06090000.012", Bytes(Last(Fix(12, kInA, At(9, 0), "one"))));
    console->PollOnce();
    EXPECT_TRUE(Exists(first));
    ASSERT_TRUE(console->LoadAddressBook());
    console->ReloadState();
    EXPECT_NE(Object(12).currentZone, 0);  // what the disk held: not the record

    // The file is free again: the journal is carried out, its inbox file deleted, and the
    // store must now hold its record, or the next commit would write over it.
    std::filesystem::remove_all(statePath);
    console->PollOnce();
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(Object(12).currentZone, 0);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 0));

    folder.Drop("06090500.012",
                Bytes(Last(Record(Header(12, 0, At(9, 5), At(9, 5)), W("Входы: 1")))));
    console->PollOnce();
    console->ReloadState();
    EXPECT_EQ(Object(12).currentZone, 0);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 5));
    EXPECT_EQ(console->runMessageCount, 1);
    EXPECT_EQ(Count(folder.Log(), "(one)"), 1u);
}

TEST_F(IntakeTrustTest, CountersHoldOnlyWhatWasCommitted) {
    Start();
    const int totalBefore = console->layout.totalMessageCount;
    const std::string journal = folder.BlockCommits();
    folder.Drop("06090000.012", Bytes(Last(Fix(12, kInA, At(9, 0), "a"))));
    folder.Drop("06090100.012", Bytes(Last(Fix(12, kInB, At(9, 1), "b"))));
    console->PollOnce();
    EXPECT_EQ(console->runMessageCount, 2);  // applied, shown, not yet on the disk

    // The store is read again: the two records were never committed and are taken off.
    console->ReloadState();
    EXPECT_EQ(console->runMessageCount, 0);
    EXPECT_EQ(console->layout.totalMessageCount, totalBefore);

    std::filesystem::remove_all(journal);
    console->PollOnce();  // the retry
    console->PollOnce();
    EXPECT_EQ(console->runMessageCount, 2);
    EXPECT_EQ(console->layout.totalMessageCount, totalBefore + 2);
    EXPECT_EQ(Count(folder.Log(), "(a)"), 1u);
}

// A journal whose log cannot be written is not done: its inbox files stay until a later
// run writes the entries, once.
TEST(CommitJournalTest, LogThatCannotBeWrittenLeavesItOutstanding) {
    TempFolder dir;
    const std::string inboxFile = dir.path() + "/06090000.012";
    WriteFile(inboxFile, "record");
    CCommitJournal journal;
    journal.logPath = dir.path() + "/Sentrel.log";
    journal.oldLogPath = dir.path() + "/SntOld.log";
    journal.log.entries = {"first\r\n", "second\r\n"};
    journal.processedFiles = {{inboxFile, FileSystem::StampOf(inboxFile)}};
    std::filesystem::create_directories(journal.logPath + "/busy");

    std::vector<std::string> undeleted;
    EXPECT_FALSE(journal.Complete(&undeleted));
    EXPECT_TRUE(Exists(inboxFile));
    std::filesystem::remove_all(journal.logPath);
    EXPECT_TRUE(journal.Complete(&undeleted));
    EXPECT_TRUE(journal.Complete(&undeleted));
    EXPECT_FALSE(Exists(inboxFile));
    EXPECT_TRUE(undeleted.empty());
    EXPECT_EQ(ReadFile(journal.logPath), "first\r\nsecond\r\n");
}
