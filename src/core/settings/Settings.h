#pragma once

#include <cstdint>
#include <string>

#include "base/DateTime.h"

// The values of Sentrel.ini. Texts are Windows-1251 bytes; paths use '/'.
struct Settings {
    std::string channelOutFolder;   // ChannelOutFolder: inbox folder, with trailing '/'
    std::string qmxInfoFile;        // QMXInfoFile: zone file
    std::string channelObj;         // ChannelObj: address book
    DateTime firstTimeOut;          // FirstTimeOut
    DateTime secondTimeOut;         // SecondTimeOut
    std::string alarmSoundPath;     // AlarmSoundPath
    std::string puSoundPath;        // PUSoundPath
    std::string specZoneSoundPath;  // SpecZoneSoundPath
    std::string badZoneSoundPath;   // BadZoneSoundPath
    DateTime timeSpan;              // TimeSpan
    int32_t timeParam = 0;          // TimeParam
    std::string settingsPassword;   // Pass, plain text in memory
    int32_t timer = 1000;           // Timer, polling period in ms
    bool minimyzeTray = false;      // MinimyzeTray
    // TrackKeepDays: positions older than this many days leave the track store
    // (SntTracks.db); 0 keeps them all. A key of this program's own, written last.
    int32_t trackKeepDays = 90;
    // BaseMapFile, BaseMapUrl: the map's base layer, an MBTiles file or a tile server's
    // address template ("https://host/{z}/{x}/{y}.png"); both empty: none. The file is
    // used when both are set. Keys of this program's own, written after TrackKeepDays.
    std::string baseMapFile;
    std::string baseMapUrl;

    // The terminal system's own places: under C:\QMX5 on Windows, /opt/QMX5 on Linux.
#ifdef _WIN32
    static constexpr const char* kDefaultInboxFolder = "C:\\QMX5\\Inbox\\";
    static constexpr const char* kDefaultZoneFile = "C:\\QMX5\\MAPS\\maps.mrk";
    static constexpr const char* kDefaultAddressBook = "C:\\QMX5\\Internet_Channel\\AddrBook.txt";
#else
    static constexpr const char* kDefaultInboxFolder = "/opt/QMX5/Inbox/";
    static constexpr const char* kDefaultZoneFile = "/opt/QMX5/MAPS/maps.mrk";
    static constexpr const char* kDefaultAddressBook = "/opt/QMX5/Internet_Channel/AddrBook.txt";
#endif

    // Every value at its default; the sounds default to `defaultAlarmSoundPath`.
    static Settings Defaults(const std::string& defaultAlarmSoundPath);
};

// What LoadSettings found at the path.
enum class SettingsFileState {
    Read,        // the values are the file's
    Missing,     // no file: the defaults stand, and the caller writes them back
    Unreadable,  // a file that could not be read: the defaults stand for this run only
};

// Sets every value to its default, then reads the file. `selectedIdsText` receives
// SelectedIDs.
SettingsFileState LoadSettings(const std::string& path, const std::string& defaultAlarmSoundPath,
                               Settings& settings, std::string& selectedIdsText);
// Parses the bytes of a settings file over `settings` (the reading half of LoadSettings).
void ParseSettings(const std::string& bytes, Settings& settings, std::string& selectedIdsText);
// The bytes of the whole file.
std::string BuildSettingsFile(const Settings& settings, const std::string& selectedIdsText);
// Writes the whole file (atomically). False on a write failure: the window then shows
// "Ошибка записи на жесткий диск, возможно недостаточно свободного места.".
bool SaveSettings(const std::string& path, const Settings& settings,
                  const std::string& selectedIdsText);
// Whether a save may write the file at `path`, when `loadedUnreadable` tells that the
// file could not be read at start: not while that file is still there, since the values
// in memory are defaults and the operator's own settings would be gone.
bool MaySaveSettingsOver(const std::string& path, bool loadedUnreadable);

std::string EncodePassword(const std::string& plain);
std::string DecodePassword(const std::string& stored);
// True when the scrambled form of `plain` fits the line format: it holds no CR, LF or
// NUL byte, any of which would cut or split the Pass line when the file is read back.
bool IsStorablePassword(const std::string& plain);
