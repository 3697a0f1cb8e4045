// What the intake remembers of the inbox files: a file read in bounded pieces, never
// deleted while it is not the version read, never applied twice (not after a restart
// either), and a file too large to be a message set aside once.
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <optional>

#include "ConsoleTestSupport.h"
#include "intake/InboxPieceReader.h"
#include "intake/InboxWorker.h"
#include "persist/InboxLedger.h"

using namespace consoletest;

namespace {

// A record of Truck whose text is `text`; `last` flags it as the file's last.
std::string Message(const std::string& text, bool last = false) {
    InboxRecord r = Fix(12, kOutside, At(9, 0), text);
    if (last)
        r.header.flags |= InboxRecordHeader::kLastRecordFlag;
    return Bytes(r);
}

void Append(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string U64(uint64_t v) {
    std::string out;
    for (int k = 0; k < 8; ++k)
        out += static_cast<char>((v >> (8 * k)) & 0xFF);
    return out;
}

// FNV-1a 64 as published: offset basis 14695981039346656037, prime 1099511628211.
uint64_t Fnv(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

TEST(InboxLedgerTest, FileFormatIsTheDescribedOneAndRefusesDamage) {
    CInboxLedger ledger;
    CInboxLedger::Entry entry;
    entry.stamp = {160, 1700000000123456789, 2049, 131};
    entry.appliedBytes = 80;
    entry.appliedChecksum = 0x0123456789ABCDEFull;
    entry.flags = CInboxLedger::kWhole | CInboxLedger::kUndeletable;
    ledger.entries["/in/06120000.012"] = entry;
    CInboxLedger::Entry aside;
    aside.stamp = {21474836480, 5, 7, 9};
    aside.flags = CInboxLedger::kSetAside;
    ledger.entries["/in/06110000.007"] = aside;

    // Magic, count, then per entry in path order: path length and bytes, device, file
    // id, size, time, applied bytes, their checksum, flags; the checksum of all that.
    std::string expected = "SNTINBX1" + U64(2);
    expected += U64(16) + "/in/06110000.007" + U64(7) + U64(9) + U64(21474836480) + U64(5) +
                U64(0) + U64(14695981039346656037ull) + U64(2);
    expected += U64(16) + "/in/06120000.012" + U64(2049) + U64(131) + U64(160) +
                U64(1700000000123456789) + U64(80) + U64(0x0123456789ABCDEFull) + U64(5);
    expected += U64(Fnv(expected));
    const std::string encoded = ledger.Encode();
    EXPECT_EQ(encoded, expected);

    CInboxLedger decoded;
    ASSERT_TRUE(CInboxLedger::Decode(encoded, decoded));
    EXPECT_EQ(decoded.entries, ledger.entries);
    EXPECT_TRUE(decoded.AnyWith(CInboxLedger::kUndeletable));
    EXPECT_FALSE(CInboxLedger().AnyWith(CInboxLedger::kUndeletable));

    // Cut, damaged, lengthened or counted beyond its bytes: no ledger.
    EXPECT_FALSE(CInboxLedger::Decode(encoded.substr(0, encoded.size() - 1), decoded));
    EXPECT_TRUE(decoded.entries.empty());
    std::string damaged = encoded;
    damaged[40] ^= 1;
    EXPECT_FALSE(CInboxLedger::Decode(damaged, decoded));
    std::string huge = "SNTINBX1" + U64(1ull << 60);
    huge += U64(Fnv(huge));
    EXPECT_FALSE(CInboxLedger::Decode(huge, decoded));

    TempFolder dir;
    EXPECT_TRUE(CInboxLedger::Load(dir.path() + "/none").entries.empty());
    WriteFile(dir.path() + "/SntInbox.dat", encoded);
    EXPECT_EQ(CInboxLedger::Load(dir.path() + "/SntInbox.dat").entries, ledger.entries);
}

TEST(InboxPieceReaderTest, PiecesAreBoundedWholeRecordsOfOneVersion) {
    TempFolder dir;
    const std::string path = dir.path() + "/06120000.012";
    // 3,000 records of 180 bytes, one of 300 KiB of text in the middle, a last record
    // and bytes after it.
    std::string bytes;
    for (int k = 0; k < 3000; ++k) {
        if (k == 1500)
            bytes += Message(std::string(300 * 1024, 'g'));
        bytes += Message("n" + std::string(99 - std::to_string(k).size(), '.') + std::to_string(k));
    }
    bytes += Message("end", true) + "after the last";
    WriteFile(path, bytes);

    CInboxPieceReader reader(path, FileSystem::StampOf(path), 0);
    std::string piece;
    std::string all;
    int giant = 0;
    while (reader.Next(piece) == CInboxPieceReader::Step::Piece) {
        if (piece.size() > CInboxPieceReader::kPieceBytes) {
            // A record longer than a piece comes alone.
            EXPECT_EQ(piece.size(), 80u + 300 * 1024);
            ++giant;
        }
        // Every piece is whole records.
        std::size_t read = 0;
        ReadInboxRecords(piece, [&](const InboxRecord& r) {
            read += 80 + r.header.textLength;
            return true;
        });
        EXPECT_EQ(read, piece.size());
        all += piece;
    }
    EXPECT_EQ(giant, 1);
    EXPECT_EQ(all, bytes.substr(0, bytes.size() - 14));
    EXPECT_EQ(reader.rest(), "after the last");
    EXPECT_EQ(reader.Next(piece), CInboxPieceReader::Step::End);

    // A record cut short ends the records; what follows it is not read.
    const std::string cut = Message("one") + Message("two").substr(0, 81);
    WriteFile(path, cut);
    CInboxPieceReader cutReader(path, FileSystem::StampOf(path), 0);
    ASSERT_EQ(cutReader.Next(piece), CInboxPieceReader::Step::Piece);
    EXPECT_EQ(piece, Message("one"));
    EXPECT_EQ(cutReader.Next(piece), CInboxPieceReader::Step::End);
    EXPECT_EQ(cutReader.rest(), Message("two").substr(0, 81));

    // A file changed after its stamp was taken is not read on.
    WriteFile(path, bytes);
    const FileSystem::FileStamp stamp = FileSystem::StampOf(path);
    CInboxPieceReader changed(path, stamp, 0);
    ASSERT_EQ(changed.Next(piece), CInboxPieceReader::Step::Piece);
    Append(path, Message("late"));
    EXPECT_EQ(changed.Next(piece), CInboxPieceReader::Step::Changed);
    EXPECT_TRUE(piece.empty());
}

namespace {

// The inbox worker against a store of its own: records every piece it is handed.
class PieceTarget : public IntakeTarget {
public:
    std::unique_lock<std::mutex> LockStore() override {
        return std::unique_lock<std::mutex>(mutex);
    }
    std::string InboxFolderLocked() const override { return folder; }
    std::vector<int32_t> ShownNumbersLocked() const override { return {12}; }
    void ApplyInboxBytesLocked(std::string_view bytes, const std::string&) override {
        pieceSizes.push_back(bytes.size());
        ReadInboxRecords(bytes, [&](const InboxRecord& r) {
            texts.push_back(r.text);
            return true;
        });
        if (afterPiece) {
            auto hook = std::move(afterPiece);
            afterPiece = nullptr;
            hook();
        }
    }
    std::string LogTimeLocked() const override { return "now"; }
    bool PrepareToWrite() override { return true; }
    void SaveFailureChanged(bool) override {}
    void ReloadCommittedState(int) override {}
    void ReportIntakeNotice(const std::string& text) override { notices.push_back(text); }

    std::mutex mutex;
    std::string folder;
    std::vector<std::size_t> pieceSizes;
    std::vector<std::string> texts;
    std::vector<std::string> notices;
    // Run once, after the next piece: a writer busy with the file meanwhile.
    std::function<void()> afterPiece;
};

class WorkerRig {
public:
    WorkerRig() {
        inbox = dir.path() + "/inbox";
        std::filesystem::create_directories(inbox);
        target.folder = inbox + "/";
        Start();
    }
    // A new start of the program on the same folders.
    void Start() {
        worker.reset();
        committer.reset();
        std::array<std::string, CStateCommitter::kFileCount> files;
        for (int k = 0; k < CStateCommitter::kFileCount; ++k)
            files[static_cast<std::size_t>(k)] = dir.path() + "/data" + std::to_string(k);
        committer = std::make_unique<CStateCommitter>(
            target.mutex, log, dir.path() + "/SntCommit.jnl", files,
            [this](CStateCommitter::File file) {
                return file == CStateCommitter::kInboxLedgerFile ? worker->EncodeLedgerLocked()
                                                                 : std::string("data");
            });
        worker = std::make_unique<CInboxWorker>(target, *committer, clock, stop);
    }
    std::string Path(const std::string& name) const { return inbox + "/" + name; }

    TempFolder dir;
    std::string inbox;
    PieceTarget target;
    CLogWriter log{dir.path() + "/Sentrel.log", dir.path() + "/SntOld.log"};
    ManualResetEvent stop;
    SystemClock clock;
    std::unique_ptr<CStateCommitter> committer;
    std::unique_ptr<CInboxWorker> worker;
};

using Texts = std::vector<std::string>;

}  // namespace

TEST(InboxWorkerPiecesTest, LargeFileIsAppliedInBoundedPiecesOnceAndDeleted) {
    WorkerRig rig;
    std::string bytes;
    Texts expected;
    for (int k = 0; k < 20000; ++k) {
        expected.push_back("r" + std::to_string(k) + std::string(90, '.'));
        bytes += Message(expected.back(), k == 19999);
    }
    ASSERT_GT(bytes.size(), 3u << 20);
    const std::string path = rig.Path("06120000.012");
    WriteFile(path, bytes);

    rig.worker->PassAndCommit();
    EXPECT_EQ(rig.target.texts, expected);
    EXPECT_GT(rig.target.pieceSizes.size(), 10u);
    for (const std::size_t size : rig.target.pieceSizes)
        EXPECT_LE(size, CInboxPieceReader::kPieceBytes);
    EXPECT_FALSE(Exists(path));
    rig.worker->PassAndCommit();
    EXPECT_EQ(rig.target.texts.size(), expected.size());
}

TEST(InboxWorkerPiecesTest, FileWrittenAgainAfterItWasReadIsNotDeletedAndOnlyTheNewIsApplied) {
    WorkerRig rig;
    PieceTarget& target = rig.target;
    const std::string path = rig.Path("06120000.012");

    // Appended right after it was read: kept, and only the new record is applied.
    WriteFile(path, Message("a1", true));
    target.afterPiece = [&] { Append(path, Message("a2", true)); };
    rig.worker->PassAndCommit();
    EXPECT_TRUE(Exists(path));
    rig.worker->PassAndCommit();
    EXPECT_EQ(target.texts, (Texts{"a1", "a2"}));
    EXPECT_FALSE(Exists(path));

    // Replaced by a rename with the same records and one more: only that one.
    target.texts.clear();
    WriteFile(path, Message("b1", true));
    target.afterPiece = [&] {
        WriteFile(path + ".part", Message("b1", true) + Message("b2", true));
        std::filesystem::rename(path + ".part", path);
    };
    rig.worker->PassAndCommit();
    EXPECT_TRUE(Exists(path));
    rig.worker->PassAndCommit();
    EXPECT_EQ(target.texts, (Texts{"b1", "b2"}));
    EXPECT_FALSE(Exists(path));

    // Written over in place with another message: that one is read whole.
    target.texts.clear();
    WriteFile(path, Message("c1", true));
    target.afterPiece = [&] { WriteFile(path, Message("c2") + Message("c3", true)); };
    rig.worker->PassAndCommit();
    rig.worker->PassAndCommit();
    EXPECT_EQ(target.texts, (Texts{"c1", "c2", "c3"}));
    EXPECT_FALSE(Exists(path));

    // Appended after it was read, and the program ended before it saw the change: the
    // next start applies the new record only.
    target.texts.clear();
    WriteFile(path, Message("d1", true));
    target.afterPiece = [&] { Append(path, Message("d2", true)); };
    rig.worker->PassAndCommit();
    rig.Start();
    rig.worker->PassAndCommit();
    EXPECT_EQ(target.texts, (Texts{"d1", "d2"}));
    EXPECT_FALSE(Exists(path));
}

namespace {

#ifndef _WIN32
long PeakKilobytes() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
#endif

}  // namespace

TEST(InboxIntakeTest, HugeFileIsSetAsideUnreadOnceAndTheOthersGoOn) {
    ConsoleWithView<RecordingView> rig;
    const ProgramFolder& folder = rig.folder;
    const std::string huge = folder.InboxPath("06110000.012");
    { std::ofstream create(huge, std::ios::binary); }
    // 20 GiB without a byte written (a hole), under a message name.
    std::filesystem::resize_file(huge, 20ull << 30);
    folder.Drop("06120000.012", Message("first", true));
    folder.Drop("06120000.007", Bytes(Last(Fix(7, kOutside, At(9, 0), "bus"))));
#ifndef _WIN32
    const long peakBefore = PeakKilobytes();
#endif

    rig.console->PollOnce();
    rig.console->PollOnce();
    EXPECT_EQ(rig.console->runMessageCount, 2);
    EXPECT_FALSE(Exists(folder.InboxPath("06120000.012")));
    EXPECT_FALSE(Exists(folder.InboxPath("06120000.007")));
    EXPECT_TRUE(Exists(huge));
#ifndef _WIN32
    EXPECT_LT(PeakKilobytes() - peakBefore, 64 * 1024);
#endif
    // One log entry and one notice, both naming the file.
    const std::string log = folder.Log();
    EXPECT_EQ(Count(log, huge), 1u);
    EXPECT_NE(log.find(huge + W(" Не обрабатывался: размер файла 21474836480 байт")),
              std::string::npos);
    const std::vector<std::string> notices = rig.view.intakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(huge), std::string::npos);
    EXPECT_NE(notices[0].find(W("больше, чем может быть у файла сообщений")), std::string::npos);

    // A new start knows it.
    rig.console.reset();
    RecordingView view;
    CConsole again(folder.paths, rig.clock, rig.sound, view);
    StartLikeTheWindow(again);
    folder.Drop("06120001.012", Message("second", true));
    again.PollOnce();
    EXPECT_EQ(again.runMessageCount, 1);
    EXPECT_TRUE(view.intakeNotices().empty());
    EXPECT_EQ(Count(folder.Log(), huge), 1u);
    EXPECT_TRUE(Exists(huge));
}

TEST_F(ConsoleFixture, FilesThatCannotBeDeletedAreAppliedOnceOverRestartsAndToldOnce) {
    Start();
    const std::string a = folder.Drop("06120000.012", Message("one", true));
    const std::string b = folder.Drop("06120100.012", Message("two", true));
    UndeletableFolder lock(folder.inbox);
    if (!lock.works())
        GTEST_SKIP() << "no way to make a file undeletable here";

    console->PollOnce();
    console->PollOnce();
    EXPECT_EQ(console->layout.totalMessageCount, 2);
    const std::vector<std::string> notices = view.intakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(W("нет права на удаление")), std::string::npos);
    EXPECT_NE(notices[0].find(folder.inbox), std::string::npos);

    for (int start = 0; start < 4; ++start) {
        console.reset();
        RecordingView fresh;
        console = std::make_unique<CConsole>(folder.paths, clock, sound, fresh);
        StartLikeTheWindow(*console);
        console->PollOnce();
        console->PollOnce();
        EXPECT_EQ(console->runMessageCount, 0) << start;
        EXPECT_EQ(console->layout.totalMessageCount, 2) << start;
        EXPECT_TRUE(fresh.intakeNotices().empty()) << start;
        console.reset();
    }
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_EQ(Count(folder.Log(), "(one)"), 1u);
    EXPECT_EQ(Count(folder.Log(), "(two)"), 1u);

    // Once the folder lets them go they go, unapplied.
    lock.Release();
    Start();
    console->PollOnce();
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_EQ(console->layout.totalMessageCount, 2);
}

TEST_F(ConsoleFixture, RecordsOfAFileGrowingWhileItIsTakenAreEachAppliedOnce) {
    folder.settings.timer = 1;
    folder.SaveSettingsFile();
    Start();
    console->StartWorkers();
    // 100,000 records written 1,000 at a time to one file; the last record says so.
    const std::string path = folder.InboxPath("06120000.012");
    constexpr int kRecords = 100000;
    for (int write = 0; write < kRecords / 1000; ++write) {
        std::string bytes;
        for (int k = write * 1000; k < (write + 1) * 1000; ++k)
            bytes += Message("n" + std::to_string(k), k == kRecords - 1);
        Append(path, bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(WaitUntil([&] { return !Exists(path); }, 60000));
    console->StopWorkersAndWait();
    EXPECT_EQ(console->runMessageCount, kRecords);
    const std::string log = folder.Log() + ReadFile(folder.paths.oldLogPath);
    EXPECT_EQ(Count(log, " (n"), static_cast<std::size_t>(kRecords));
    EXPECT_EQ(Count(log, " (n99999)"), 1u);
    EXPECT_EQ(Count(log, " (n0)"), 1u);
}

TEST_F(ConsoleFixture, WhatWasTakenButNotSavedIsReadAgainIntoAReloadedStore) {
    Start();
    // Every commit fails while the journal cannot be written.
    const std::string journal = folder.BlockCommits();
    const std::string path =
        folder.Drop("06120000.012", Bytes(Last(Fix(12, kInA, At(9, 0), "kept"))));
    console->PollOnce();
    EXPECT_TRUE(Exists(path));

    // The store is replaced while the save fails: what was applied to it is forgotten,
    // the file is read again into the new store once the disk is back.
    console->ReloadState();
    std::filesystem::remove_all(journal);
    console->PollOnce();
    console->PollOnce();
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(Count(folder.Log(), "(kept)"), 1u);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 0));
    console->ReloadState();
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 0));
}
