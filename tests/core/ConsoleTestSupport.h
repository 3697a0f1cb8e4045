#pragma once

// Shared pieces of the console tests: a view that records what the console shows, a
// sound output that records what it plays, and a program folder in a temporary
// directory with an inbox, an address book, a zone file and a settings file.

#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "alerts/SoundOutput.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/ConsoleView.h"
#include "model/InboxFile.h"
#include "platform/ManualResetEvent.h"
#include "zones/Geometry.h"

#include "FakeSound.h"
#include "MakeTempFolder.h"
#include "ThreeZones.h"

namespace consoletest {

// Polls `condition` until it holds or `timeoutMs` pass.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// A directory under the test temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() { path_ = MakeTempFolder("sentrel-console"); }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct PopupCall {
    std::string text;
    PopupKind kind;
};

// Records every call; the workers call it too, so everything is under a mutex.
class RecordingView : public ConsoleView {
public:
    void ShowPopup(const std::string& text, PopupKind kind) override {
        std::lock_guard<std::mutex> lock(mutex_);
        popups_.push_back({text, kind});
    }
    void ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) override {
        std::lock_guard<std::mutex> lock(mutex_);
        snapshots_.push_back(std::move(snapshot));
    }
    void SetTrayTip(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        trayTips_.push_back(text);
    }
    void ReportSoundError(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++soundErrors_;
        soundErrorPaths_.push_back(path);
    }
    void HistoryChanged() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++historyChanges_;
    }
    void RowsReset(int rowCount) override {
        std::lock_guard<std::mutex> lock(mutex_);
        rowsResets_.push_back(rowCount);
    }
    void ReportSaveFailure(bool failing) override {
        std::lock_guard<std::mutex> lock(mutex_);
        saveFailures_.push_back(failing);
    }
    std::vector<bool> saveFailures() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return saveFailures_;
    }
    void ReportIntakeNotice(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        intakeNotices_.push_back(text);
    }
    std::vector<std::string> intakeNotices() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return intakeNotices_;
    }

    std::vector<PopupCall> popups() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return popups_;
    }
    std::vector<std::string> trayTips() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return trayTips_;
    }
    int soundErrors() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return soundErrors_;
    }
    int historyChanges() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return historyChanges_;
    }
    std::vector<int> rowsResets() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return rowsResets_;
    }
    std::size_t snapshotCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return snapshots_.size();
    }
    void ClearPopups() {
        std::lock_guard<std::mutex> lock(mutex_);
        popups_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<PopupCall> popups_;
    std::vector<std::shared_ptr<const RefreshSnapshot>> snapshots_;
    std::vector<std::string> trayTips_;
    std::vector<int> rowsResets_;
    std::vector<bool> saveFailures_;
    std::vector<std::string> intakeNotices_;
    int soundErrors_ = 0;
    std::vector<std::string> soundErrorPaths_;
    int historyChanges_ = 0;
};

// Makes the files of a folder undeletable for the test's lifetime: a read-only folder
// for an ordinary user, the immutable attribute for root. False when neither works here
// (always on Windows, where neither exists).
class UndeletableFolder {
public:
    explicit UndeletableFolder(std::string folder) : folder_(std::move(folder)) {
#ifndef _WIN32
        const std::string probe = folder_ + "/probe";
        WriteFile(probe, "p");
        if (::geteuid() != 0) {
            ::chmod(folder_.c_str(), 0555);
            readOnly_ = true;
        } else {
            immutable_ = std::system(("chattr +i '" + folder_ + "' 2>/dev/null").c_str()) == 0;
        }
        works_ = std::filesystem::exists(probe) && ::unlink(probe.c_str()) != 0;
        if (!works_)
            Release();
#endif
    }
    ~UndeletableFolder() {
        Release();
    }
    bool works() const {
        return works_;
    }
    void Release() {
#ifndef _WIN32
        if (readOnly_)
            ::chmod(folder_.c_str(), 0755);
        if (immutable_)
            (void)std::system(("chattr -i '" + folder_ + "' 2>/dev/null").c_str());
#endif
        readOnly_ = immutable_ = false;
    }

private:
    std::string folder_;
    bool readOnly_ = false;
    bool immutable_ = false;
    bool works_ = false;
};

// Sound files by kind as the test settings name them.
inline const char* kAlarmWav = "alarm.wav";
inline const char* kPowerOnWav = "pu.wav";
inline const char* kForbiddenWav = "bad.wav";
inline const char* kDestinationWav = "destination.wav";

// A program folder with an inbox, an address book of Truck (12), Bus (7) and Van (5),
// the zone file above and Sentrel.ini pointing at them. Truck and Bus are shown.
class ProgramFolder {
public:
    ProgramFolder() {
        paths = ProgramPaths::For(dir.path());
        inbox = dir.path() + "/inbox";
        std::filesystem::create_directories(inbox);
        addressBook = dir.path() + "/AddrBook.txt";
        zoneFile = dir.path() + "/maps.mrk";
        WriteFile(addressBook, "12,Truck,x,\r\n7,Bus,x,\r\n5,Van,x,\r\n");
        WriteFile(zoneFile, ZoneFileBytes());
        settings = Settings::Defaults(paths.defaultAlarmSoundPath);
        settings.channelOutFolder = inbox + "/";
        settings.qmxInfoFile = zoneFile;
        settings.channelObj = addressBook;
        settings.alarmSoundPath = kAlarmWav;
        settings.puSoundPath = kPowerOnWav;
        settings.badZoneSoundPath = kForbiddenWav;
        settings.specZoneSoundPath = kDestinationWav;
        settings.timer = 10;
        selectedIds = "|12||7|";
    }
    void SaveSettingsFile() const {
        ASSERT_TRUE(::SaveSettings(paths.settingsPath, settings, selectedIds));
    }
    std::string InboxPath(const std::string& name) const { return inbox + "/" + name; }
    // Drops a message file into the inbox.
    std::string Drop(const std::string& name, const std::string& bytes) const {
        const std::string path = InboxPath(name);
        WriteFile(path, bytes);
        return path;
    }
    std::string Log() const { return ReadFile(paths.logPath); }
    // Every commit fails from now on: a folder stands where the journal is written.
    // Returns the journal's path (remove_all it to let commits through again).
    std::string BlockCommits() const {
        const std::string journal = dir.path() + "/SntCommit.jnl";
        std::filesystem::create_directories(journal + "/busy");
        return journal;
    }

    TempFolder dir;
    ProgramPaths paths;
    std::string inbox;
    std::string addressBook;
    std::string zoneFile;
    Settings settings;
    std::string selectedIds;
};

// The local "now" of the tests: 6 December 2026, 12:00:00.
inline DateTime TestNow() {
    return DateTime::FromCalendar(2026, 12, 6, 12, 0, 0);
}
// A stamp on the same day.
inline DateTime At(int hour, int minute, int second = 0) {
    return DateTime::FromCalendar(2026, 12, 6, hour, minute, second);
}

// Record builders.
inline InboxRecordHeader Header(int32_t number, uint32_t flags, DateTime messageTime,
                                DateTime receiveTime) {
    InboxRecordHeader h;
    h.objectNumber = number;
    h.flags = flags;
    h.messageTime = messageTime;
    h.receiveTime = receiveTime;
    return h;
}

inline InboxRecord Record(const InboxRecordHeader& header, const std::string& text) {
    InboxRecord r;
    r.header = header;
    r.header.textLength = static_cast<int32_t>(text.size());
    r.text = text;
    // The raw bytes as a file would carry them.
    const std::string bytes = EncodeInboxRecord(header, text);
    std::copy(bytes.begin(), bytes.begin() + InboxRecordHeader::kSize, r.header.raw.begin());
    return r;
}

// The record as the last of its file: the terminal system flags the last record of every
// file it writes, and a file without such a record is taken only once it has settled.
// The bytes of a record as the terminal writes it.
inline std::string Bytes(const InboxRecord& r) {
    return EncodeInboxRecord(r.header, r.text);
}

// Counts the non-overlapping occurrences of `needle`.
inline std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

inline InboxRecord Last(const InboxRecord& r) {
    InboxRecordHeader h = r.header;
    h.flags |= InboxRecordHeader::kLastRecordFlag;
    return Record(h, r.text);
}

inline InboxRecord Fix(int32_t number, Spot spot, DateTime messageTime, const std::string& text,
                       double speed = 40.0) {
    InboxRecordHeader h =
        Header(number, InboxRecordHeader::kPositionFlag, messageTime, messageTime.AddMinutes(180));
    h.latitude = spot.latitude;
    h.longitude = spot.longitude;
    h.speed = speed;
    return Record(h, text);
}

// Start-up as the window runs it, without the prompts: settings, the program folder
// claimed (as once the single-instance lock is held), address book, zones, stored state.
// The workers are not started.
inline void StartLikeTheWindow(CConsole& console) {
    EXPECT_TRUE(console.LoadSettingsAtStart());
    EXPECT_TRUE(console.ClaimProgramFolder());
    EXPECT_TRUE(console.LoadAddressBook());
    EXPECT_TRUE(console.LoadZones());
    console.ReloadState();
}

inline void EnableAllAlerts(ObjectRecord& o) {
    for (int f = 0; f < AlertSettings::kCount; ++f)
        o.alertSettings[f] = 1;
}

// A console started as the window starts it, with a view of the test's own; workers not
// running, fixed clock.
template <class View>
struct ConsoleWithView {
    ConsoleWithView() {
        folder.SaveSettingsFile();
        console = std::make_unique<CConsole>(folder.paths, clock, sound, view);
        StartLikeTheWindow(*console);
    }
    ObjectRecord& Object(int32_t number) {
        return console->store.Object(console->store.FindObjectByNumber(number));
    }

    ProgramFolder folder;
    FixedClock clock{TestNow(), 0};
    FakeSound sound;
    View view;
    std::unique_ptr<CConsole> console;
};

// A console started as the window starts it, workers not running, with a fixed clock.
class ConsoleFixture : public testing::Test {
protected:
    void SetUp() override { folder.SaveSettingsFile(); }
    void TearDown() override { console.reset(); }

    CConsole& Start() {
        console = std::make_unique<CConsole>(folder.paths, clock, sound, view);
        StartLikeTheWindow(*console);
        return *console;
    }
    ObjectRecord& Object(int32_t number) {
        const int i = console->store.FindObjectByNumber(number);
        EXPECT_GE(i, 0);
        return console->store.Object(i);
    }
    int IndexOf(int32_t number) { return console->store.FindObjectByNumber(number); }
    void Process(const InboxRecord& record, const std::string& path = "/inbox/06120000.012") {
        console->ProcessRecord(record, path);
    }
    void EnableAll(int32_t number) { EnableAllAlerts(Object(number)); }
    void Assign(int32_t number, int zone, ZoneRole role) {
        Object(number).zoneAssignment.Append(zone, role);
    }

    ProgramFolder folder;
    FixedClock clock{TestNow(), 0};
    FakeSound sound;
    RecordingView view;
    std::unique_ptr<CConsole> console;
};

}  // namespace consoletest
