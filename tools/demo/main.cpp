// sentrel-demo-setup: fills a program folder with the demo's settings, window layout and
// object state (Sentrel.ini, Interface.ini, SntSettings.dat, SntQMXMSG.dat,
// SntHistory.dat, SntSpec.dat), written
// by the program's own writers, so that Sentrel started from that folder watches the
// demo fleet.
#include <cstdio>
#include <filesystem>
#include <string>

#include "DemoPlan.h"
#include "console/ProgramPaths.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: sentrel-demo-setup --folder DIR --addrbook FILE --zones FILE [--inbox DIR]\n"
        "Writes Sentrel.ini, Interface.ini and the data files of the demo into the program\n"
        "folder DIR:"
        " every vehicle of the address book shown, the demo's zone assignments, alert\n"
        "settings and silence thresholds, a roomy window, no message state yet.\n"
        "\n"
        "  --folder DIR      program folder (created if missing; its data files are replaced)\n"
        "  --addrbook FILE   address book (AddrBook.txt) the settings point at\n"
        "  --zones FILE      zone file (maps.mrk) the settings point at\n"
        "  --inbox DIR       inbox folder (default DIR/Inbox, created if missing)\n"
        "  --sounds DIR      folder of Alarm.wav, PowerOn.wav, Destination.wav and\n"
        "                    Forbidden.wav (default DIR/Sounds)\n",
        to);
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path p = std::filesystem::absolute(path, error);
    return error ? path : p.lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, addressBook, zoneFile, inbox, sounds;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (k + 1 >= argc) {
            PrintUsage(stderr);
            return 2;
        }
        // Everything below goes through the program's own writers, whose paths are
        // Windows-1251 texts like those of Sentrel.ini.
        const std::string value = Platform::FromNativePath(Absolute(argv[++k]));
        if (arg == "--folder")
            folder = value;
        else if (arg == "--addrbook")
            addressBook = value;
        else if (arg == "--zones")
            zoneFile = value;
        else if (arg == "--inbox")
            inbox = value;
        else if (arg == "--sounds")
            sounds = value;
        else {
            PrintUsage(stderr);
            return 2;
        }
    }
    if (folder.empty() || addressBook.empty() || zoneFile.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (inbox.empty())
        inbox = folder + "/Inbox";
    if (sounds.empty())
        sounds = folder + "/Sounds";
    if (!FileSystem::MakeDirectories(folder) || !FileSystem::MakeDirectories(inbox)) {
        std::fprintf(stderr, "sentrel-demo-setup: cannot create %s\n", inbox.c_str());
        return 1;
    }

    CZoneMap zones;
    if (!zones.Load(zoneFile)) {
        std::fprintf(stderr, "sentrel-demo-setup: %s is not a valid zone file\n", zoneFile.c_str());
        return 1;
    }
    CDataStore store(folder);
    if (!store.LoadAddressBook(addressBook)) {
        std::fprintf(stderr, "sentrel-demo-setup: %s is not a valid address book\n",
                     addressBook.c_str());
        return 1;
    }
    std::string error;
    if (!DemoPlan::Apply(store, zones, error)) {
        std::fprintf(stderr, "sentrel-demo-setup: %s\n", error.c_str());
        return 1;
    }

    const ProgramPaths paths = ProgramPaths::For(folder);
    Settings settings = Settings::Defaults(paths.defaultAlarmSoundPath);
    settings.channelOutFolder = inbox + "/";
    settings.qmxInfoFile = zoneFile;
    settings.channelObj = addressBook;
    settings.firstTimeOut = DateTime::FromTimeOfDay(0, 0, DemoPlan::kFirstTimeoutSeconds);
    settings.secondTimeOut = DateTime::FromTimeOfDay(0, 0, DemoPlan::kSecondTimeoutSeconds);
    settings.alarmSoundPath = sounds + "/Alarm.wav";
    settings.puSoundPath = sounds + "/PowerOn.wav";
    settings.specZoneSoundPath = sounds + "/Destination.wav";
    settings.badZoneSoundPath = sounds + "/Forbidden.wav";
    // The feed stamps its messages in UTC; "as in the system" shows them in local time
    // and measures their age correctly.
    settings.timeParam = 2;
    settings.timer = 1000;

    // A fresh start: no message state, no visits (the old files would describe another
    // run's positions).
    // A window wide enough to read every column of the fifteen rows at once.
    WindowLayout layout(paths.layoutPath);
    layout.mainRect = LayoutRect{40, 30, 1240, 590};
    layout.columnIds.clear();
    for (int id = 0; id < kColumnIdCount; ++id)
        layout.columnIds.push_back(id);
    layout.columnWidths = {30, 22, 22, 22, 22, 22, 250, 250, 95, 150, 90, 110};

    const bool saved = ::SaveSettings(paths.settingsPath, settings, store.BuildSelectedIdsText()) &&
                       layout.SaveLayout() && store.SaveState() && store.SaveHistory() &&
                       store.SaveZoneAssignments(zones);
    if (!saved) {
        std::fprintf(stderr, "sentrel-demo-setup: cannot write into %s\n", folder.c_str());
        return 1;
    }
    std::printf("sentrel-demo-setup: %d vehicles, %d zones, program folder %s\n", store.objectCount,
                zones.ZoneCount(), folder.c_str());
    return 0;
}
