#include "console/ProgramPaths.h"

ProgramPaths ProgramPaths::For(const std::string& programFolder) {
    ProgramPaths paths;
    paths.programFolder = programFolder;
    paths.settingsPath = programFolder + "/Sentrel.ini";
    paths.logPath = programFolder + "/Sentrel.log";
    paths.oldLogPath = programFolder + "/SntOld.log";
    paths.defaultAlarmSoundPath = programFolder + "/Sounds/Alarm.wav";
    paths.layoutPath = programFolder + "/Interface.ini";
    paths.tracksPath = programFolder + "/SntTracks.db";
    paths.tileCacheFolder = programFolder + "/TileCache";
    return paths;
}
