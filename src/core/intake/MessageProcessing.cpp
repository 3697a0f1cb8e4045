// The inbox worker's side of the console: polling the inbox, reading each message file
// and applying its records to the store.
#include <cmath>

#include "alerts/SoundPlayer.h"
#include "console/Console.h"
#include "intake/InboxFile.h"
#include "model/Cp1251.h"
#include "model/TextUtil.h"
#include "zones/Geometry.h"

namespace {

// The Windows-1251 texts a record may need, converted once rather than per record.
struct RecordTexts {
    std::string fresh = W("Свежее");
    std::string inputs = W("Входы: ");
    std::string unknownId = W("Неизвестный ID\r\n");
    std::string processed = W("Обрабатывалось");
    std::string notProcessed = W("Не обрабатывалось\r\n");
    std::string lastMessage = W("%s: последнее сообщение от %s (%s)");
    std::string trayTip = W("%s: последнее сообщение от %s");
    std::string processedWithPath = W("%s %s (Путь-%s)\r\n");
};
const RecordTexts& Texts() {
    static const RecordTexts texts;
    return texts;
}
const std::string kPowerOnMarker = " PU ";

// The five sensor values stand at these byte offsets from the start of "Входы: ".
constexpr std::size_t kFirstInputOffset = 7;
constexpr std::size_t kInputStep = 2;

}  // namespace

void CConsole::PollOnce() {
    for (int i = 0;; ++i) {
        std::string pattern;
        {
            auto lock = Lock();
            // The count is read again on every step: the window may reload the objects.
            if (i >= store.objectCount)
                break;
            const ObjectRecord& o = store.Object(i);
            if (o.selected == 0)
                continue;
            pattern = TextUtil::Format("%s*.%03i", settings.channelOutFolder.c_str(), o.Number());
        }
        for (const FileSystem::DirEntry& entry : FileSystem::ListDirectory(pattern)) {
            if (entry.name != "." && entry.name != ".." && !entry.isDirectory &&
                IsInboxFileName(entry.fullPath)) {
                HandleInboxEntry(entry.fullPath);
            }
            if (stopPollingEvent.IsSet())
                break;
        }
    }
    // Files that could not be deleted are remembered only while they exist.
    for (auto it = undeletable_.begin(); it != undeletable_.end();) {
        if (!FileSystem::FileExists(it->first))
            it = undeletable_.erase(it);
        else
            ++it;
    }
}

void CConsole::HandleInboxEntry(const std::string& path) {
    const auto known = undeletable_.find(path);
    if (known != undeletable_.end()) {
        // Applying the same records on every pass would count them again and again; a
        // file that was rewritten since is a new message and is read again.
        // Its records are applied already: only the deletion is tried again.
        if (FileSystem::StampOf(path) == known->second) {
            if (FileSystem::RemoveFile(path))
                undeletable_.erase(known);
            return;
        }
        undeletable_.erase(known);
    }
    // Stamped before reading: a file rewritten while it is read is then read again
    // rather than skipped.
    const FileSystem::FileStamp stamp = FileSystem::StampOf(path);
    ProcessInboxFile(path);
    if (!FileSystem::RemoveFile(path) && FileSystem::FileExists(path))
        undeletable_[path] = stamp;
}

void CConsole::ProcessInboxFile(const std::string& path) {
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes))
        return;
    bool stateUnsaved = false;
    ReadInboxRecords(bytes, [&](const InboxRecord& record) {
        bool knownObject;
        {
            auto lock = Lock();
            knownObject = ProcessRecordLocked(record, path, stateUnsaved);
        }
        return !(knownObject && stopPollingEvent.IsSet());
    });
    if (stateUnsaved) {
        // Alarm and sensor records do not save the state themselves; the file is
        // deleted after this, so what it brought must be on disk first.
        auto lock = Lock();
        store.SaveState();
    }
}

void CConsole::ProcessRecord(const InboxRecord& record, const std::string& path) {
    bool stateUnsaved = false;
    auto lock = Lock();
    ProcessRecordLocked(record, path, stateUnsaved);
    if (stateUnsaved)
        store.SaveState();
}

bool CConsole::ProcessRecordLocked(const InboxRecord& record, const std::string& path,
                                   bool& stateUnsaved) {
    const InboxRecordHeader& h = record.header;
    // The text is a C string to everything that reads it: a zero byte ends it.
    const std::string text(record.text.c_str());
    const DateTime now = clock_.Now();

    log_.AppendLog(TextUtil::Format("%s %s %i (%s) %f %f ", FormatLogTime(now).c_str(),
                                    path.c_str(), h.objectNumber, text.c_str(), h.longitude,
                                    h.latitude));

    const int i = store.FindObjectByNumber(h.objectNumber);
    if (i < 0) {
        log_.AppendLog(Texts().unknownId);
        return false;
    }
    ObjectRecord& o = store.Object(i);
    const int old = o.currentZone;
    const bool fresh = text.find(Texts().fresh) != std::string::npos;
    const std::size_t inputsAt = text.find(Texts().inputs);
    const std::string& processed = Texts().processed;
    std::string outcome;

    if ((h.flags & InboxRecordHeader::kPositionFlag) != 0 && h.longitude != 0.0 &&
        h.latitude != 0.0) {
        const int z = zoneMap->FindZoneAt(h.latitude, h.longitude);
        if ((o.hasMessage & kHasPosition) == 0) {
            // The first fix starts the path; it adds no distance.
            o.latitude = h.latitude;
            o.longitude = h.longitude;
        }
        o.lastReceivedAt = h.receiveTime;
        o.speedKmh = TruncateTowardZero(h.speed);
        ++runMessageCount;
        ++layout.totalMessageCount;
        const std::string title = store.FormatIdAndName(i);
        layout.lastMessageText =
            TextUtil::Format(Texts().lastMessage.c_str(), FormatLocaleDateTime(now).c_str(),
                             title.c_str(), FormatLocaleDateTime(h.receiveTime).c_str());
        if (trayIconShown.load()) {
            view_.SetTrayTip(TextUtil::Format(Texts().trayTip.c_str(),
                                              FormatLocaleDateTime(now).c_str(), title.c_str()));
        }
        SaveLayout();

        std::string pathText = "0";
        if (fresh) {
            const double d = GreatCircleDistance(h.latitude, h.longitude, o.latitude, o.longitude);
            const double s =
                std::trunc((h.messageTime - o.lastMessageTime) * 86400.0 + 0.000005787037037037037);
            // Fixes less than a second apart (or out of order) give no usable speed; the
            // last one computed stands.
            if (s > 0)
                o.computedSpeedKmh = TruncateTowardZero(d * 36.0 / (s * 10.0));
            o.pathMetres += d;
            if (z != -1)
                o.zonePathMetres += d;
            o.dayPathMetres += d;
            pathText = TextUtil::Format("%f", o.dayPathMetres * 0.001);
        }
        o.lastMessageTime = h.messageTime;
        o.latitude = h.latitude;
        o.longitude = h.longitude;

        ApplyZoneTransition(i, old, z, h.messageTime);

        o.hasMessage |= kHasPosition;
        o.lastMessage = h.raw;

        if (text.find(kPowerOnMarker) != std::string::npos && o.alertSettings.powerOnAlert()) {
            if (o.lastEventKind <= kEventPowerOn) {
                o.lastEventTime = h.messageTime;
                o.lastEventKind = kEventPowerOn;
                o.lastEventText = ZoneNameOf(z);
            }
            RaiseAlert(i, AlertKind::PowerOn);
        }
        outcome = TextUtil::Format(Texts().processedWithPath.c_str(), processed.c_str(),
                                   FormatLogTime(h.messageTime).c_str(), pathText.c_str());
        store.SaveState();
    } else if ((h.flags & InboxRecordHeader::kAlarmFlag) != 0) {
        if (!o.alertSettings.alarmAlert()) {
            outcome = Texts().notProcessed;
        } else {
            o.lastEventTime = h.messageTime;
            o.lastEventKind = kEventAlarm;
            o.lastEventText = ZoneNameOf(o.currentZone);
            o.hasMessage |= kHasAlarm;
            o.alarmText = text;
            o.lastReceivedAt = h.receiveTime;
            o.lastMessageTime = h.messageTime;
            outcome = TextUtil::Format("%s %s\r\n", processed.c_str(),
                                       FormatLogTime(h.messageTime).c_str());
            stateUnsaved = true;
            RaiseAlert(i, AlertKind::Alarm);
        }
    } else if (inputsAt != std::string::npos) {
        o.lastReceivedAt = h.receiveTime;
        o.lastMessageTime = h.messageTime;
        outcome =
            TextUtil::Format("%s %s\r\n", processed.c_str(), FormatLogTime(h.messageTime).c_str());
        o.inputs.fill(0);
        for (int k = 0; k < 5; ++k) {
            const std::size_t at = inputsAt + kFirstInputOffset + kInputStep * k;
            // A text that ends early gives 0 for the missing values.
            const char c = at < text.size() ? text[at] : '\0';
            o.inputs[ObjectRecord::kFirstSensorInput + k] = (c >= '0' && c <= '9') ? c - '0' : 0;
        }
        stateUnsaved = true;
    } else {
        outcome = Texts().notProcessed;
    }
    log_.AppendLog(outcome);
    return true;
}
