#include "settings/Settings.h"

#include <algorithm>
#include <string_view>

#include "base/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

constexpr std::string_view kEndOfLine = "\r\n";

// Keys in the order a line is tested against them. No key is the beginning of another,
// so the first key a line starts with is the only one.
enum class Key {
    ChannelOutFolder,
    QMXInfoFile,
    ChannelObj,
    Timer,
    MinimyzeTray,
    FirstTimeOut,
    SecondTimeOut,
    SelectedIDs,
    AlarmSoundPath,
    PUSoundPath,
    SpecZoneSoundPath,
    BadZoneSoundPath,
    TimeParam,
    TimeSpan,
    Pass,
    TrackKeepDays,
    BaseMapFile,
    BaseMapUrl,
};

struct KeyName {
    Key key;
    std::string_view name;
};

constexpr KeyName kKeys[] = {
    {Key::ChannelOutFolder, "ChannelOutFolder"},
    {Key::QMXInfoFile, "QMXInfoFile"},
    {Key::ChannelObj, "ChannelObj"},
    {Key::Timer, "Timer"},
    {Key::MinimyzeTray, "MinimyzeTray"},
    {Key::FirstTimeOut, "FirstTimeOut"},
    {Key::SecondTimeOut, "SecondTimeOut"},
    {Key::SelectedIDs, "SelectedIDs"},
    {Key::AlarmSoundPath, "AlarmSoundPath"},
    {Key::PUSoundPath, "PUSoundPath"},
    {Key::SpecZoneSoundPath, "SpecZoneSoundPath"},
    {Key::BadZoneSoundPath, "BadZoneSoundPath"},
    {Key::TimeParam, "TimeParam"},
    {Key::TimeSpan, "TimeSpan"},
    {Key::Pass, "Pass"},
    {Key::TrackKeepDays, "TrackKeepDays"},
    {Key::BaseMapFile, "BaseMapFile"},
    {Key::BaseMapUrl, "BaseMapUrl"},
};

DateTime TimeOr(std::string_view text, DateTime fallback) {
    const auto parsed = ParseTimeOfDay(text);
    return parsed ? *parsed : fallback;
}

void ApplyLine(const std::string& line, Settings& settings, std::string& selectedIdsText) {
    for (const auto& [key, name] : kKeys) {
        if (!TextUtil::StartsWith(line, name)) {
            continue;
        }
        const std::string value = line.substr(name.size());
        switch (key) {
            case Key::ChannelOutFolder:
                settings.channelOutFolder = value;
                break;
            case Key::QMXInfoFile:
                settings.qmxInfoFile = value;
                break;
            case Key::ChannelObj:
                settings.channelObj = value;
                break;
            case Key::Timer:
                settings.timer = TextUtil::LeadingInt(value);
                break;
            case Key::MinimyzeTray:
                settings.minimyzeTray = TextUtil::LeadingInt(value) != 0;
                break;
            case Key::FirstTimeOut:
                settings.firstTimeOut = TimeOr(value, DateTime::FromTimeOfDay(0, 30, 0));
                break;
            case Key::SecondTimeOut:
                settings.secondTimeOut = TimeOr(value, DateTime::FromTimeOfDay(1, 0, 0));
                break;
            case Key::SelectedIDs:
                selectedIdsText = value;
                break;
            case Key::AlarmSoundPath:
                settings.alarmSoundPath = value;
                break;
            case Key::PUSoundPath:
                settings.puSoundPath = value;
                break;
            case Key::SpecZoneSoundPath:
                settings.specZoneSoundPath = value;
                break;
            case Key::BadZoneSoundPath:
                settings.badZoneSoundPath = value;
                break;
            case Key::TimeParam:
                settings.timeParam = TextUtil::LeadingInt(value);
                break;
            case Key::TimeSpan:
                // An unreadable offset means no offset rather than a stale one.
                settings.timeSpan = TimeOr(value, DateTime::FromTimeOfDay(0, 0, 0));
                break;
            case Key::Pass:
                settings.settingsPassword = DecodePassword(value);
                break;
            case Key::TrackKeepDays:
                // Nothing is removed on a value that is no count of days.
                settings.trackKeepDays = std::max(0, TextUtil::LeadingInt(value));
                break;
            case Key::BaseMapFile:
                settings.baseMapFile = value;
                break;
            case Key::BaseMapUrl:
                settings.baseMapUrl = value;
                break;
        }
        return;
    }
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += value;
    out += kEndOfLine;
}

}  // namespace

Settings Settings::Defaults(const std::string& defaultAlarmSoundPath) {
    Settings s;
    s.channelOutFolder = kDefaultInboxFolder;
    s.qmxInfoFile = kDefaultZoneFile;
    s.channelObj = kDefaultAddressBook;
    s.firstTimeOut = DateTime::FromTimeOfDay(0, 11, 0);
    s.secondTimeOut = DateTime::FromTimeOfDay(0, 5, 0);
    s.alarmSoundPath = defaultAlarmSoundPath;
    s.puSoundPath = defaultAlarmSoundPath;
    s.specZoneSoundPath = defaultAlarmSoundPath;
    s.badZoneSoundPath = defaultAlarmSoundPath;
    s.timeSpan = DateTime::FromTimeOfDay(0, 0, 0);
    s.timeParam = 0;
    s.settingsPassword.clear();
    s.timer = 1000;
    s.minimyzeTray = false;
    s.trackKeepDays = 90;
    s.baseMapFile.clear();
    s.baseMapUrl.clear();
    return s;
}

SettingsFileState LoadSettings(const std::string& path, const std::string& defaultAlarmSoundPath,
                               Settings& settings, std::string& selectedIdsText) {
    settings = Settings::Defaults(defaultAlarmSoundPath);
    selectedIdsText.clear();
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes)) {
        // A file that is there but cannot be read now must not be overwritten with the
        // defaults: the operator's settings would be gone for good. Only a missing file
        // asks the caller to write the defaults.
        return FileSystem::FileExists(path) ? SettingsFileState::Unreadable
                                            : SettingsFileState::Missing;
    }
    ParseSettings(bytes, settings, selectedIdsText);
    return SettingsFileState::Read;
}

void ParseSettings(const std::string& bytes, Settings& settings, std::string& selectedIdsText) {
    for (const std::string& line : TextUtil::SplitLines(bytes)) {
        ApplyLine(line, settings, selectedIdsText);
    }
}

std::string BuildSettingsFile(const Settings& settings, const std::string& selectedIdsText) {
    std::string out;
    AppendLine(out, "ChannelOutFolder", settings.channelOutFolder);
    AppendLine(out, "QMXInfoFile", settings.qmxInfoFile);
    AppendLine(out, "ChannelObj", settings.channelObj);
    AppendLine(out, "FirstTimeOut", FormatHms(settings.firstTimeOut));
    AppendLine(out, "SecondTimeOut", FormatHms(settings.secondTimeOut));
    AppendLine(out, "AlarmSoundPath", settings.alarmSoundPath);
    AppendLine(out, "SelectedIDs", selectedIdsText);
    AppendLine(out, "PUSoundPath", settings.puSoundPath);
    AppendLine(out, "SpecZoneSoundPath", settings.specZoneSoundPath);
    AppendLine(out, "BadZoneSoundPath", settings.badZoneSoundPath);
    AppendLine(out, "TimeSpan", FormatLocaleTime(settings.timeSpan));
    AppendLine(out, "TimeParam", TextUtil::Format("%i", settings.timeParam));
    AppendLine(out, "Pass", EncodePassword(settings.settingsPassword));
    AppendLine(out, "Timer", TextUtil::Format("%i", settings.timer));
    AppendLine(out, "MinimyzeTray", settings.minimyzeTray ? "1" : "0");
    AppendLine(out, "TrackKeepDays", TextUtil::Format("%i", settings.trackKeepDays));
    AppendLine(out, "BaseMapFile", settings.baseMapFile);
    AppendLine(out, "BaseMapUrl", settings.baseMapUrl);
    return out;
}

bool SaveSettings(const std::string& path, const Settings& settings,
                  const std::string& selectedIdsText) {
    return FileSystem::WriteFileAtomically(path, BuildSettingsFile(settings, selectedIdsText));
}

bool MaySaveSettingsOver(const std::string& path, bool loadedUnreadable) {
    return !loadedUnreadable || !FileSystem::FileExists(path);
}

std::string EncodePassword(const std::string& plain) {
    std::string stored(plain.size(), '\0');
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const auto current = static_cast<unsigned char>(plain[i]);
        const auto previous = i == 0 ? 0u : static_cast<unsigned char>(plain[i - 1]);
        stored[i] = static_cast<char>((previous + current) & 0xFF);
    }
    return stored;
}

std::string DecodePassword(const std::string& stored) {
    std::string plain(stored.size(), '\0');
    unsigned previous = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const auto current = (static_cast<unsigned char>(stored[i]) - previous) & 0xFFu;
        plain[i] = static_cast<char>(current);
        previous = current;
    }
    return plain;
}

bool IsStorablePassword(const std::string& plain) {
    for (const char c : EncodePassword(plain)) {
        if (c == '\r' || c == '\n' || c == '\0') {
            return false;
        }
    }
    return true;
}
