#pragma once

// Pieces shared by the benchmarks: a program folder with generated address book, zone
// file and settings, a console that shows nothing and plays nothing, and generated
// zones and records. The folder lives under $SENTREL_BENCH_DIR (default /tmp), so the
// same benchmark can be run on a real disk and on tmpfs.

#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "alerts/SoundOutput.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/ConsoleView.h"
#include "model/InboxFile.h"
#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"

namespace bench {

inline std::string BenchRoot() {
    const char* dir = std::getenv("SENTREL_BENCH_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

// A directory under BenchRoot(), removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = BenchRoot() + "/sentrel-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror(pattern.c_str());
            std::exit(1);
        }
        path_ = pattern;
    }
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

class NullView : public ConsoleView {
public:
    void ShowPopup(const std::string&, PopupKind) override {}
    void ApplyRefresh(std::shared_ptr<const RefreshSnapshot>) override {}
    void SetTrayTip(const std::string&) override {}
    void ReportSoundError(const std::string&) override {}
    void HistoryChanged() override {}
    void RowsReset(int) override {}
};

// "Plays" for as long as a real alert sound lasts, or until it is stopped.
class SilentSound : public SoundOutput {
public:
    bool PlayWav(const std::string&, const ManualResetEvent* stop) override {
        if (stop != nullptr)
            stop->WaitFor(1000);
        return true;
    }
};

// The city the generated zones and positions lie in.
constexpr double kCentreLatitude = 56.84;
constexpr double kCentreLongitude = 60.60;
constexpr double kSpanDegrees = 0.4;  // about 44 km north-south

// A zone file of `count` zones, half circles (150..800 m) and half polygons (4..8
// vertices, 200..900 m across), scattered over the city.
inline std::string ZoneFileBytes(int count, uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> where(-kSpanDegrees / 2, kSpanDegrees / 2);
    std::uniform_int_distribution<int> radius(150, 800);
    std::uniform_int_distribution<int> vertices(4, 8);
    std::uniform_real_distribution<double> size(200, 900);
    std::string bytes;
    int line = 0;
    for (int z = 0; z < count; ++z) {
        const double lat = kCentreLatitude + where(random);
        const double lon = kCentreLongitude + where(random);
        if (z % 2 == 0) {
            bytes += TextUtil::Format("%d\t%.6f\t%.6f\t0\t Zone %d (R%d)\r\n", ++line, lat, lon, z,
                                      radius(random));
            continue;
        }
        const int n = vertices(random);
        const double metres = size(random) / 2;
        for (int k = 0; k < n; ++k) {
            const double angle = 2 * 3.141592653589793 * k / n;
            const double vLat = lat + metres * std::cos(angle) / 111195.0;
            const double vLon =
                lon + metres * std::sin(angle) / (111195.0 * std::cos(lat * 0.0174532925));
            bytes += TextUtil::Format("%d\t%.6f\t%.6f\t0\t Zone %d (N%d)\r\n", ++line, vLat, vLon,
                                      z, k + 1);
        }
    }
    return bytes;
}

inline std::string AddressBookBytes(int count, int firstNumber = 1) {
    std::string bytes;
    for (int k = 0; k < count; ++k) {
        bytes += TextUtil::Format("%d,", firstNumber + k) +
                 W(TextUtil::Format("Грузовик %d", firstNumber + k)) + ",1,\r\n";
    }
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    if (!FileSystem::WriteFileAtomically(path, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// A program folder with `objects` shown objects (numbers 1..objects), `zones` zones and
// an inbox, and a console started on it as the window starts it (workers not running).
// Every alert flag is on and every object has a destination and a forbidden zone, so
// the alert and history paths are part of what is measured.
class ConsoleRig {
public:
    // `attach` runs on the console before its folder is claimed (a track store).
    ConsoleRig(int objects, int zones, const Clock& clock,
               const std::function<void(CConsole&)>& attach = {}) {
        paths = ProgramPaths::For(folder.path());
        inbox = folder.path() + "/Inbox";
        FileSystem::MakeDirectories(inbox);
        WriteBytes(folder.path() + "/AddrBook.txt", AddressBookBytes(objects));
        WriteBytes(folder.path() + "/maps.mrk", ZoneFileBytes(zones));
        Settings settings = Settings::Defaults(paths.defaultAlarmSoundPath);
        settings.channelOutFolder = inbox + "/";
        settings.qmxInfoFile = folder.path() + "/maps.mrk";
        settings.channelObj = folder.path() + "/AddrBook.txt";
        std::string selected;
        for (int n = 1; n <= objects; ++n)
            selected += TextUtil::Format("|%d|", n);
        if (!::SaveSettings(paths.settingsPath, settings, selected))
            std::exit(1);
        console = std::make_unique<CConsole>(paths, clock, sound, view);
        if (attach)
            attach(*console);
        if (!console->LoadSettingsAtStart() || !console->ClaimProgramFolder() ||
            !console->LoadAddressBook() || !console->LoadZones()) {
            std::fprintf(stderr, "console set-up failed in %s\n", folder.path().c_str());
            std::exit(1);
        }
        console->ReloadState();
        auto lock = console->Lock();
        const int zoneCount = console->zoneMap->ZoneCount();
        for (int i = 0; i < console->store.objectCount; ++i) {
            ObjectRecord& o = console->store.Object(i);
            for (int f = 0; f < AlertSettings::kCount; ++f)
                o.alertSettings[f] = 1;
            o.hasSettings = 1;
            o.zoneAssignment.Append(i % zoneCount, Destination);
            o.zoneAssignment.Append((i + 1) % zoneCount, Forbidden);
        }
    }
    ~ConsoleRig() {
        // The console (and its workers) go before the folder does.
        console.reset();
    }

    TempFolder folder;
    ProgramPaths paths;
    std::string inbox;
    NullView view;
    SilentSound sound;
    std::unique_ptr<CConsole> console;
};

// One position record of object `number` at a point, stamped `when` (UTC).
inline InboxRecord PositionRecord(int32_t number, double latitude, double longitude, DateTime when,
                                  bool fresh = true) {
    InboxRecord r;
    InboxRecordHeader& h = r.header;
    h.objectNumber = number;
    h.messageTime = when;
    h.receiveTime = when;
    h.flags = InboxRecordHeader::kPositionFlag | InboxRecordHeader::kLastRecordFlag;
    h.latitude = latitude;
    h.longitude = longitude;
    h.speed = 47.5;
    r.text = fresh ? W("Свежее, 12 спутников") : W("Старое");
    h.textLength = static_cast<int32_t>(r.text.size());
    const std::string bytes = EncodeInboxRecord(h, r.text);
    std::copy(bytes.begin(), bytes.begin() + InboxRecordHeader::kSize, h.raw.begin());
    return r;
}

}  // namespace bench
