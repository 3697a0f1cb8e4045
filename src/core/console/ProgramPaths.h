#pragma once

#include <string>

// Every file path of the program, built once from the program folder.
struct ProgramPaths {
    std::string programFolder;          // without a trailing separator
    std::string settingsPath;           // Sentrel.ini
    std::string logPath;                // Sentrel.log
    std::string oldLogPath;             // SntOld.log, the log before its last rotation
    std::string defaultAlarmSoundPath;  // Sounds/Alarm.wav
    std::string layoutPath;             // Interface.ini
    std::string tracksPath;             // SntTracks.db, the track store (src/tracks)
    std::string tileCacheFolder;        // TileCache, the tile server's pictures kept on disk

    static ProgramPaths For(const std::string& programFolder);
};
