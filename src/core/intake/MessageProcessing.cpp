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
    inboxWorker_->PassAndCommit();
}

void CConsole::ProcessInboxFile(const std::string& path) {
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes))
        return;
    {
        auto lock = Lock();
        ProcessInboxBytesLocked(bytes, path);
    }
    inboxWorker_->Commit();
}

void CConsole::ProcessInboxBytesLocked(const std::string& bytes, const std::string& path) {
    ReadInboxRecords(bytes, [&](const InboxRecord& record) {
        ProcessRecordLocked(record, path);
        return true;
    });
}

void CConsole::ProcessRecord(const InboxRecord& record, const std::string& path) {
    {
        auto lock = Lock();
        ProcessRecordLocked(record, path);
    }
    inboxWorker_->Commit();
}

bool CConsole::ProcessRecordLocked(const InboxRecord& record, const std::string& path) {
    const InboxRecordHeader& h = record.header;
    // The text is a C string to everything that reads it: a zero byte ends it.
    const std::string text(record.text.c_str());
    const DateTime now = clock_.Now();

    // The header line and the outcome are one entry of the log: never split by a
    // rotation.
    std::string entry =
        TextUtil::Format("%s %s %i (%s) %f %f ", FormatLogTime(now).c_str(), path.c_str(),
                         h.objectNumber, text.c_str(), h.longitude, h.latitude);

    const int i = store.FindObjectByNumber(h.objectNumber);
    if (i < 0) {
        committer_->AddLogEntry(entry + Texts().unknownId);
        return false;
    }
    ObjectRecord& o = store.Object(i);
    const int old = o.currentZone;
    const bool fresh = text.find(Texts().fresh) != std::string::npos;
    const std::size_t inputsAt = text.find(Texts().inputs);
    const std::string& processed = Texts().processed;
    std::string outcome;

    // A coordinate that is no number (NaN, infinity) is no position either: it would
    // poison the path and every distance computed from it.
    if ((h.flags & InboxRecordHeader::kPositionFlag) != 0 && h.longitude != 0.0 &&
        h.latitude != 0.0 && std::isfinite(h.longitude) && std::isfinite(h.latitude)) {
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
        committer_->MarkDirty(CStateCommitter::kLayoutFile);

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
    } else {
        outcome = Texts().notProcessed;
    }
    committer_->MarkDirty(CStateCommitter::kStateFiles);
    committer_->AddLogEntry(entry + outcome);
    return true;
}
