#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "MakeTempFolder.h"
#include "base/Cp1251.h"
#include "platform/Clock.h"
#include "platform/DirectoryWatch.h"
#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"
#include "platform/Platform.h"

namespace {

// A fresh folder per test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder() : path_(MakeTempFolder("sentrel-platform")) {}
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteRaw(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadRaw(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(FileSystem::ReadWholeFile(path, bytes)) << path;
    return bytes;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

// A number of this process, for names no other running copy uses.
std::string ProcessTag() {
#ifdef _WIN32
    return std::to_string(::GetCurrentProcessId());
#else
    return std::to_string(::getpid());
#endif
}

// A name a UTF-8 source literal gives, as the system names it (UTF-8 on Linux, UTF-16 on
// Windows).
std::filesystem::path NativeName(std::u8string_view utf8) {
    return std::filesystem::path(utf8);
}

std::set<std::string> NamesOf(const std::vector<FileSystem::DirEntry>& entries) {
    std::set<std::string> names;
    for (const auto& e : entries) {
        names.insert(e.name);
    }
    return names;
}

}  // namespace

TEST(PlatformFileSystemTest, AtomicWriteCreatesAndReplacesWithExactBytes) {
    ScratchFolder dir;
    const std::string target = dir / "Sentrel.ini";
    const std::string first("a\r\nb\0c\xFF", 7);
    ASSERT_TRUE(FileSystem::WriteFileAtomically(target, first));
    EXPECT_EQ(ReadRaw(target), first);

    ASSERT_TRUE(FileSystem::WriteFileAtomically(target, "shorter"));
    EXPECT_EQ(ReadRaw(target), "shorter");
    ASSERT_TRUE(FileSystem::WriteFileAtomically(target, ""));
    EXPECT_EQ(FileSystem::FileSize(target), 0);
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"Sentrel.ini"});
}

TEST(PlatformFileSystemTest, FailedAtomicWriteKeepsTheOldFile) {
    ScratchFolder dir;
    const std::string target = dir / "State.dat";
    WriteRaw(target, "old contents");

    // The temporary name is taken by a folder: the write cannot even start.
    ASSERT_TRUE(FileSystem::MakeDirectories(target + ".~sentrel-tmp"));
    EXPECT_FALSE(FileSystem::WriteFileAtomically(target, "new contents"));
    EXPECT_EQ(ReadRaw(target), "old contents");
    std::filesystem::remove(target + ".~sentrel-tmp");

#ifndef _WIN32
    // The write itself fails half way (file size limit): old file intact, no leftover.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = FileSystem::WriteFileAtomically(target, std::string(100000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadRaw(target), "old contents");
#endif
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"State.dat"});

    // The target is a folder: nothing replaces it and the temporary file is removed.
    const std::string folderTarget = dir / "Sub";
    ASSERT_TRUE(FileSystem::MakeDirectories(folderTarget + "/inner"));
    EXPECT_FALSE(FileSystem::WriteFileAtomically(folderTarget, "x"));
    EXPECT_TRUE(FileSystem::DirectoryExists(folderTarget + "/inner"));
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"State.dat", "Sub"}));

    // A missing folder is a plain failure.
    EXPECT_FALSE(FileSystem::WriteFileAtomically(dir / "missing/file.txt", "x"));
}

TEST(PlatformFileSystemTest, ConcurrentWritesOfOneFileNeverTear) {
    ScratchFolder dir;
    const std::string target = dir / "Interface.ini";
    const std::string a(200000, 'a');
    const std::string b(150000, 'b');
    std::thread t1([&] {
        for (int i = 0; i < 20; ++i) {
            EXPECT_TRUE(FileSystem::WriteFileAtomically(target, a));
        }
    });
    std::thread t2([&] {
        for (int i = 0; i < 20; ++i) {
            EXPECT_TRUE(FileSystem::WriteFileAtomically(target, b));
        }
    });
    t1.join();
    t2.join();
    const std::string result = ReadRaw(target);
    EXPECT_TRUE(result == a || result == b);
}

TEST(PlatformFileSystemTest, StaleTempFilesAreRecognisedAndRemoved) {
    EXPECT_TRUE(FileSystem::IsTempFileName("Sentrel.ini.~sentrel-tmp"));
    EXPECT_FALSE(FileSystem::IsTempFileName("Sentrel.ini"));
    EXPECT_FALSE(FileSystem::IsTempFileName("x.~sentrel-tmp.007"));

    ScratchFolder dir;
    WriteRaw(dir / "Sentrel.ini", "keep");
    WriteRaw(dir / "Sentrel.ini.~sentrel-tmp", "half");
    WriteRaw(dir / "State.dat.~sentrel-tmp", "half");
    FileSystem::RemoveStaleTempFiles(dir.path());
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"Sentrel.ini"});
    EXPECT_EQ(ReadRaw(dir / "Sentrel.ini"), "keep");
}

TEST(PlatformFileSystemTest, FileFactsAndCopy) {
    ScratchFolder dir;
    EXPECT_EQ(FileSystem::FileSize(dir / "none"), -1);
    EXPECT_EQ(FileSystem::FileSize(dir.path()), -1);
    EXPECT_FALSE(FileSystem::FileExists(dir / "none"));
    EXPECT_FALSE(FileSystem::FileExists(dir.path()));
    EXPECT_TRUE(FileSystem::DirectoryExists(dir.path()));
    std::string bytes = "stale";
    EXPECT_FALSE(FileSystem::ReadWholeFile(dir / "none", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(FileSystem::ReadWholeFile(dir.path(), bytes));
    EXPECT_EQ(FileSystem::StampOf(dir / "none"), FileSystem::FileStamp{});

    WriteRaw(dir / "a.log", "12345");
    WriteRaw(dir / "b.log", "old old old");
    EXPECT_EQ(FileSystem::FileSize(dir / "a.log"), 5);
    EXPECT_EQ(FileSystem::StampOf(dir / "a.log").size, 5);
    ASSERT_TRUE(FileSystem::CopyFileOverwrite(dir / "a.log", dir / "b.log"));
    EXPECT_EQ(ReadRaw(dir / "b.log"), "12345");
    EXPECT_FALSE(FileSystem::CopyFileOverwrite(dir / "none", dir / "b.log"));
    EXPECT_EQ(ReadRaw(dir / "b.log"), "12345");

    EXPECT_TRUE(FileSystem::RemoveFile(dir / "a.log"));
    EXPECT_FALSE(FileSystem::RemoveFile(dir / "a.log"));

    EXPECT_TRUE(FileSystem::MakeDirectories(dir / "x/y/z"));
    EXPECT_TRUE(FileSystem::MakeDirectories(dir / "x/y/z"));
    EXPECT_TRUE(FileSystem::DirectoryExists(dir / "x/y/z"));
    EXPECT_FALSE(FileSystem::MakeDirectories(dir / "b.log/sub"));
}

TEST(PlatformFileSystemTest, WildcardMatching) {
    using FileSystem::MatchesWildcard;
    EXPECT_TRUE(MatchesWildcard("00001.007", "*.007"));
    EXPECT_TRUE(MatchesWildcard(".007", "*.007"));
    EXPECT_FALSE(MatchesWildcard("00001.0071", "*.007"));
    EXPECT_FALSE(MatchesWildcard("00001.107", "*.007"));
    EXPECT_TRUE(MatchesWildcard("abc", "a?c"));
    EXPECT_FALSE(MatchesWildcard("ac", "a?c"));
    EXPECT_TRUE(MatchesWildcard("a.b.c", "*.*"));
    EXPECT_TRUE(MatchesWildcard("aXbXc", "a*b*c"));
    EXPECT_TRUE(MatchesWildcard("abcbc", "*bc"));
    EXPECT_TRUE(MatchesWildcard("", "*"));
    EXPECT_FALSE(MatchesWildcard("", "?"));
    EXPECT_FALSE(MatchesWildcard("A.007", "a.007"));  // case-sensitive
}

TEST(PlatformFileSystemTest, ListDirectorySplitsFolderAtTheLastSlash) {
    ScratchFolder dir;
    ASSERT_TRUE(FileSystem::MakeDirectories(dir / "Inbox"));
    WriteRaw(dir / "Inbox/1.007", "");
    WriteRaw(dir / "Inbox/2.007", "");
    WriteRaw(dir / "Inbox/3.008", "");
    WriteRaw(dir / "Inbox.007", "");  // beside the folder, found without the trailing slash
    ASSERT_TRUE(FileSystem::MakeDirectories(dir / "Inbox/d.007"));

    auto entries = FileSystem::ListDirectory(dir / "Inbox/*.007");
    EXPECT_EQ(NamesOf(entries), (std::set<std::string>{"1.007", "2.007", "d.007"}));
    for (const auto& e : entries) {
        EXPECT_EQ(e.fullPath, dir / "Inbox/" + e.name);
        EXPECT_EQ(e.isDirectory, e.name == "d.007");
    }

    entries = FileSystem::ListDirectory(dir / "Inbox*.007");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Inbox.007");
    EXPECT_EQ(entries[0].fullPath, dir / "Inbox.007");

    EXPECT_EQ(NamesOf(FileSystem::ListDirectory(dir / "Inbox/*")),
              (std::set<std::string>{".", "..", "1.007", "2.007", "3.008", "d.007"}));
    EXPECT_TRUE(FileSystem::ListDirectory(dir / "nowhere/*.007").empty());
}

TEST(PlatformFileSystemTest, PathsAreWindows1251TextsAndTheSystemSeesItsOwnNames) {
    // A dispatcher's folder may well have a Russian name; Sentrel.ini keeps it in
    // Windows-1251 and the file system, which names files in UTF-8 (Linux) or UTF-16
    // (Windows), must still find it.
    ScratchFolder dir;
    const std::filesystem::path nativeFolder =
        std::filesystem::path(dir.path()) / NativeName(u8"Диспетчер");
    const std::string folder = dir.path() + "/" + W("Диспетчер");
    ASSERT_EQ(folder.size(), dir.path().size() + 1 + 9);
    ASSERT_TRUE(FileSystem::MakeDirectories(folder));
    EXPECT_TRUE(std::filesystem::is_directory(nativeFolder));
    const std::string file = folder + "/" + W("Журнал") + ".007";
    ASSERT_TRUE(FileSystem::WriteFileAtomically(file, "abc"));
    EXPECT_EQ(ReadRaw(file), "abc");
    EXPECT_EQ(FileSystem::FileSize(file), 3);
    EXPECT_TRUE(std::filesystem::exists(nativeFolder / NativeName(u8"Журнал.007")));
    std::ofstream(nativeFolder / NativeName(u8"Жёлтый №1.007")) << "x";
    std::ofstream(nativeFolder / NativeName(u8"Журнал.008")) << "x";
    const auto entries = FileSystem::ListDirectory(folder + "/" + W("Ж") + "*.007");
    EXPECT_EQ(NamesOf(entries),
              (std::set<std::string>{W("Журнал") + ".007", W("Жёлтый №1") + ".007"}));
    for (const auto& e : entries) {
        EXPECT_EQ(e.fullPath, folder + "/" + e.name);
        EXPECT_TRUE(e.isRegular);
        EXPECT_EQ(ReadRaw(e.fullPath).size(), e.name == W("Журнал") + ".007" ? 3u : 1u);
    }
    EXPECT_TRUE(FileSystem::RemoveFile(file));
    EXPECT_FALSE(std::filesystem::exists(nativeFolder / NativeName(u8"Журнал.007")));
#ifndef _WIN32
    EXPECT_EQ(Platform::FromNativePath("/tmp/Папка"), W("/tmp/Папка"));
    EXPECT_EQ(Platform::ToNativePath(W("/tmp/Папка")), "/tmp/Папка");
#endif
}

TEST(PlatformFileSystemTest, AppendTruncateSyncedWriteAndRename) {
    ScratchFolder dir;
    const std::string log = dir / "Sentrel.log";
    ASSERT_TRUE(FileSystem::AppendToFile(log, "one\r\n", false));
    ASSERT_TRUE(FileSystem::AppendToFile(log, "two\r\n", true));
    EXPECT_EQ(ReadRaw(log), "one\r\ntwo\r\n");
    ASSERT_TRUE(FileSystem::TruncateFile(log, 3));
    EXPECT_EQ(ReadRaw(log), "one");
    ASSERT_TRUE(FileSystem::TruncateFile(log, 5));
    EXPECT_EQ(ReadRaw(log), std::string("one\0\0", 5));
    EXPECT_FALSE(FileSystem::TruncateFile(dir / "none", 0));
    EXPECT_FALSE(FileSystem::TruncateFile(log, -1));
    EXPECT_FALSE(FileSystem::AppendToFile(dir / "missing/x.log", "x", false));

    // The halves of a group commit: written under temporary names, renamed over the
    // files in place.
    const std::string state = dir / "State.dat";
    WriteRaw(state, "old state");
    const std::string temp = FileSystem::TemporaryPathFor(state, "commit");
    ASSERT_TRUE(FileSystem::WriteAndSync(temp, "new"));
    ASSERT_TRUE(FileSystem::RenameOver(temp, state));
    EXPECT_EQ(ReadRaw(state), "new");
    EXPECT_FALSE(FileSystem::FileExists(temp));
    EXPECT_FALSE(FileSystem::RenameOver(temp, state));
    EXPECT_EQ(ReadRaw(state), "new");
}

TEST(PlatformFileSystemTest, StampFollowsWritesInWallClockNanoseconds) {
    ScratchFolder dir;
    const std::string file = dir / "1.007";
    WriteRaw(file, "12345");
    const FileSystem::FileStamp first = FileSystem::StampOf(file);
    EXPECT_EQ(first.size, 5);
    // Nanoseconds since 1970, like the system clock's.
    const int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    EXPECT_LT(std::llabs(nowNs - first.modifiedNs), 600LL * 1000000000LL);
    ASSERT_TRUE(FileSystem::AppendToFile(file, "6", false));
    const FileSystem::FileStamp second = FileSystem::StampOf(file);
    EXPECT_EQ(second.size, 6);
    EXPECT_GE(second.modifiedNs, first.modifiedNs);
    EXPECT_NE(second, first);
}

TEST(PlatformFileSystemTest, DevicesAreNoFilesToRead) {
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif
    std::string bytes = "stale";
    EXPECT_FALSE(FileSystem::ReadWholeFile(device, bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(FileSystem::FileSize(device), -1);
}

TEST(PlatformWatchTest, ChangeInTheFolderWakesTheWatch) {
    ScratchFolder dir;
    std::atomic<int> calls{0};
    ManualResetEvent woke;
    CDirectoryWatch watch;
    EXPECT_FALSE(watch.Start(dir / "missing", [] {}));
    EXPECT_FALSE(watch.IsRunning());
    ASSERT_TRUE(watch.Start(dir.path(), [&] {
        ++calls;
        woke.Set();
    }));
    EXPECT_TRUE(watch.IsRunning());
    WriteRaw(dir / "01020304.007", "record");
    EXPECT_TRUE(woke.WaitFor(10000));
    woke.Reset();
    // Still watching after the first notice.
    ASSERT_TRUE(FileSystem::WriteFileAtomically(dir / "01020305.007", "record"));
    EXPECT_TRUE(woke.WaitFor(10000));
    watch.Stop();
    EXPECT_FALSE(watch.IsRunning());
    const int seen = calls.load();
    WriteRaw(dir / "01020306.007", "record");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls.load(), seen);
    watch.Stop();  // twice is harmless
}

TEST(PlatformEventTest, ManualResetEventStaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitFor(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        event.Set();
    });
    EXPECT_TRUE(event.WaitFor(5000));
    setter.join();
    // Manual reset: every later wait passes at once, without blocking.
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_TRUE(event.WaitFor(10000));
    event.Wait();
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.WaitFor(0));

    ManualResetEvent initiallySet(true);
    EXPECT_TRUE(initiallySet.IsSet());
}

TEST(PlatformEventTest, OneSetReleasesEveryWaiter) {
    ManualResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released.load(), 0);
    event.Set();
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(released.load(), 4);
}

TEST(PlatformInstanceTest, SecondLockFailsWhileTheFirstIsHeld) {
    // A name of our own, so that a running console on this machine does not interfere.
    const std::string name = "Sentrel-test-" + ProcessTag();
    {
        CInstanceLock first;
        ASSERT_TRUE(first.Acquire(name));
        EXPECT_TRUE(first.IsHeld());
        CInstanceLock second;
        EXPECT_FALSE(second.Acquire(name));
        EXPECT_FALSE(second.IsHeld());
    }
    CInstanceLock again;
    EXPECT_TRUE(again.Acquire(name));
#ifndef _WIN32
    std::filesystem::remove(Platform::InstanceLockFolder() + "/" + name + ".lock");
#endif
}

#ifdef _WIN32
TEST(PlatformInstanceTest, MutexOfAnotherCopyRefusesTheLock) {
    // Another copy's handle on the named mutex, whoever owns it and whether or not it
    // was ever waited on, is what stops a start.
    const std::string name = "Sentrel-test-other-" + ProcessTag();
    const std::wstring wide(name.begin(), name.end());
    const HANDLE other = ::CreateMutexW(nullptr, FALSE, wide.c_str());
    ASSERT_NE(other, nullptr);
    {
        CInstanceLock lock;
        EXPECT_FALSE(lock.Acquire(name));
        EXPECT_FALSE(lock.IsHeld());
    }
    ::CloseHandle(other);
    CInstanceLock lock;
    EXPECT_TRUE(lock.Acquire(name));
    EXPECT_TRUE(lock.IsHeld());
    // Held by us now: the other copy sees it exist.
    const HANDLE late = ::CreateMutexW(nullptr, FALSE, wide.c_str());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ::CloseHandle(late);
}

TEST(PlatformFileSystemTest, WindowsPathsTakeEitherSeparator) {
    EXPECT_EQ(Platform::kSeparator, '\\');
    EXPECT_EQ(FileSystem::FolderOf("C:\\QMX5\\Inbox\\01020304.007"), "C:\\QMX5\\Inbox");
    EXPECT_EQ(FileSystem::FolderOf("C:\\QMX5/Inbox\\"), "C:\\QMX5/Inbox");
    EXPECT_EQ(FileSystem::FolderOf("C:\\Sentrel.ini"), "C:\\");
    EXPECT_EQ(FileSystem::FolderOf("\\Sentrel.ini"), "\\");

    ScratchFolder dir;
    std::string folder = dir.path();
    std::replace(folder.begin(), folder.end(), '/', '\\');
    ASSERT_TRUE(FileSystem::MakeDirectories(folder + "\\Inbox\\Old"));
    WriteRaw(dir / "Inbox/01020304.007", "x");
    const auto entries = FileSystem::ListDirectory(folder + "\\Inbox\\*.007");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].fullPath, folder + "\\Inbox\\01020304.007");
    EXPECT_TRUE(entries[0].isRegular);
    const auto all = FileSystem::ListDirectory(folder + "\\Inbox\\*");
    EXPECT_EQ(NamesOf(all), (std::set<std::string>{".", "..", "01020304.007", "Old"}));
    for (const auto& e : all) {
        EXPECT_EQ(e.isRegular, e.name == "01020304.007") << e.name;
        EXPECT_EQ(e.isDirectory, e.name != "01020304.007") << e.name;
    }
}
#endif

#ifndef _WIN32
namespace {

// Runs `body` in a child process under the unprivileged account 65534 (nobody); the
// child's exit status is body's answer.
bool AsOtherAccount(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && body();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(PlatformInstanceTest, OneLockForEveryAccount) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a second account";
    }
    // A folder like /tmp: everyone may create files, only owners remove them.
    ScratchFolder folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 01777), 0);
    ::setenv("SENTREL_LOCK_FOLDER", folder.path().c_str(), 1);
    const std::string name = "Sentrel-test";
    const std::string file = folder / (name + ".lock");
    auto take = [&name] { return CInstanceLock().Acquire(name); };

    // What an earlier copy of root's left behind: a 0644 file and no copy running.
    WriteRaw(file, "");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_TRUE(AsOtherAccount(take));
    {
        CInstanceLock root;
        ASSERT_TRUE(root.Acquire(name));
        EXPECT_FALSE(AsOtherAccount(take));
    }
    EXPECT_TRUE(AsOtherAccount(take));

    // The other account makes the file, under a strict umask; root's copy still gets
    // the lock, and the file stays open to every account.
    std::filesystem::remove(file);
    EXPECT_TRUE(AsOtherAccount([&] {
        ::umask(077);
        CInstanceLock other;
        return other.Acquire(name) && !AsOtherAccount(take);
    }));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_NE(st.st_uid, 0u);
    EXPECT_TRUE(take());
    ::unsetenv("SENTREL_LOCK_FOLDER");
}
#endif

TEST(PlatformInfoTest, ProgramFolderLockFolderAndBias) {
    const std::string folder = Platform::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_FALSE(Platform::IsSeparator(folder.back()));
    EXPECT_TRUE(FileSystem::DirectoryExists(folder));
#ifdef _WIN32
    // The system's own clocks: the bias is how far UTC runs from local time.
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    ::GetSystemTime(&utc);
    ::GetLocalTime(&local);
    FILETIME utcTime{};
    FILETIME localTime{};
    ASSERT_TRUE(::SystemTimeToFileTime(&utc, &utcTime));
    ASSERT_TRUE(::SystemTimeToFileTime(&local, &localTime));
    auto ticks = [](FILETIME t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                    t.dwLowDateTime);
    };
    const double minutes = static_cast<double>(ticks(utcTime) - ticks(localTime)) / 600000000.0;
    const auto bias = Platform::CurrentTimeZoneBiasMinutes();
    ASSERT_TRUE(bias.has_value());
    EXPECT_NEAR(*bias, minutes, 0.5);
    EXPECT_EQ(SystemClock().TimeZoneBiasMinutes(), bias);
#else

    // The lock is the machine's, not the account's: TMPDIR does not move it.
    const char* saved = std::getenv("SENTREL_LOCK_FOLDER");
    const std::string savedValue = saved ? saved : "";
    ::unsetenv("SENTREL_LOCK_FOLDER");
    const char* savedTmp = std::getenv("TMPDIR");
    const std::string savedTmpValue = savedTmp ? savedTmp : "";
    ::setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(Platform::InstanceLockFolder(), "/tmp");
    ::setenv("SENTREL_LOCK_FOLDER", "/var/tmp/", 1);
    EXPECT_EQ(Platform::InstanceLockFolder(), "/var/tmp");
    ::unsetenv("SENTREL_LOCK_FOLDER");
    if (saved) {
        ::setenv("SENTREL_LOCK_FOLDER", savedValue.c_str(), 1);
    }
    if (savedTmp) {
        ::setenv("TMPDIR", savedTmpValue.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }

    const char* savedTz = std::getenv("TZ");
    const std::string savedTzValue = savedTz ? savedTz : "";
    ::setenv("TZ", "MSK-3", 1);
    ::tzset();
    EXPECT_EQ(Platform::CurrentTimeZoneBiasMinutes(), -180);
    ::setenv("TZ", "EST5", 1);
    ::tzset();
    EXPECT_EQ(SystemClock().TimeZoneBiasMinutes(), 300);
    if (savedTz) {
        ::setenv("TZ", savedTzValue.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
#endif
}

// Whoever acknowledges alerts is recorded by the account the program runs under.
TEST(PlatformInfoTest, AccountNameOfTheProgram) {
#ifdef _WIN32
    wchar_t name[257];
    DWORD size = 257;
    ASSERT_TRUE(::GetUserNameW(name, &size));
    EXPECT_EQ(Cp1251::ToUtf16(Platform::CurrentAccountName()),
              std::u16string(name, name + size - 1));
#else
    // The login's name as the environment gives it, in the program's encoding; without
    // one, the password database's name of the process's user.
    std::vector<std::pair<const char*, std::optional<std::string> > > saved;
    for (const char* variable : {"USER", "LOGNAME"}) {
        const char* value = std::getenv(variable);
        saved.emplace_back(variable,
                           value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("USER", "Диспетчер", 1);
    ::setenv("LOGNAME", "other", 1);
    EXPECT_EQ(Platform::CurrentAccountName(), W("Диспетчер"));
    ::unsetenv("USER");
    EXPECT_EQ(Platform::CurrentAccountName(), "other");
    ::setenv("USER", "", 1);
    EXPECT_EQ(Platform::CurrentAccountName(), "other");
    ::unsetenv("USER");
    ::unsetenv("LOGNAME");
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(Platform::CurrentAccountName(), Cp1251::FromUtf8(entry->pw_name));
    EXPECT_FALSE(Platform::CurrentAccountName().empty());
    for (const auto& [variable, value] : saved) {
        if (value)
            ::setenv(variable, value->c_str(), 1);
        else
            ::unsetenv(variable);
    }
#endif
}

TEST(PlatformInfoTest, SystemClockGivesLocalTime) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &t);
#else
    ::localtime_r(&t, &local);
#endif
    const DateTime expected =
        DateTime::FromCalendar(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
    const double diffSeconds = (SystemClock().Now() - expected) * 86400.0;
    EXPECT_GE(diffSeconds, -0.5);
    EXPECT_LE(diffSeconds, 2.5);
}
