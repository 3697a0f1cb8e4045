#include "rules/RecordProcessor.h"

#include <cmath>

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "model/DataStore.h"
#include "model/InboxFile.h"
#include "rules/AlertRules.h"
#include "rules/ZoneTransition.h"
#include "settings/Settings.h"
#include "zones/Geometry.h"
#include "zones/ZoneMap.h"

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

CRecordProcessor::Outcome CRecordProcessor::Process(const InboxRecord& record,
                                                    const std::string& path, DateTime now,
                                                    bool wantTrayTip) {
    Outcome out;
    const InboxRecordHeader& h = record.header;
    // The text is a C string to everything that reads it: a zero byte ends it.
    const std::string text(record.text.c_str());

    // The header line and the outcome are one entry of the log: never split by a
    // rotation.
    std::string entry =
        TextUtil::Format("%s %s %i (%s) %f %f ", FormatLogTime(now).c_str(), path.c_str(),
                         h.objectNumber, text.c_str(), h.longitude, h.latitude);

    const int i = store_.FindObjectByNumber(h.objectNumber);
    if (i < 0) {
        out.logEntry = entry + Texts().unknownId;
        return out;
    }
    out.knownObject = true;
    out.objectIndex = i;
    ObjectRecord& o = store_.Object(i);
    const int old = o.currentZone;
    const bool fresh = text.find(Texts().fresh) != std::string::npos;
    const std::size_t inputsAt = text.find(Texts().inputs);
    const std::string& processed = Texts().processed;
    std::string outcome;

    // A coordinate that is no number (NaN, infinity) is no position either: it would
    // poison the path and every distance computed from it.
    if ((h.flags & InboxRecordHeader::kPositionFlag) != 0 && h.longitude != 0.0 &&
        h.latitude != 0.0 && std::isfinite(h.longitude) && std::isfinite(h.latitude)) {
        const int z = map_.FindZoneAt(h.latitude, h.longitude);
        if ((o.hasMessage & kHasPosition) == 0) {
            // The first fix starts the path; it adds no distance.
            o.latitude = h.latitude;
            o.longitude = h.longitude;
        }
        o.lastReceivedAt = h.receiveTime;
        o.speedKmh = TruncateTowardZero(h.speed);
        out.counted = true;
        const std::string title = store_.FormatIdAndName(i);
        out.lastMessageText =
            TextUtil::Format(Texts().lastMessage.c_str(), FormatLocaleDateTime(now).c_str(),
                             title.c_str(), FormatLocaleDateTime(h.receiveTime).c_str());
        if (wantTrayTip) {
            out.trayTip = TextUtil::Format(Texts().trayTip.c_str(),
                                           FormatLocaleDateTime(now).c_str(), title.c_str());
        }

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

        CZoneTransition(store_, map_).Apply(i, old, z, h.messageTime, now, out.effects);

        o.hasMessage |= kHasPosition;
        o.lastMessage = h.raw;

        if (text.find(kPowerOnMarker) != std::string::npos && o.alertSettings.powerOnAlert()) {
            if (o.lastEventKind <= kEventPowerOn) {
                o.lastEventTime = h.messageTime;
                o.lastEventKind = kEventPowerOn;
                o.lastEventText = map_.NameOf(z);
            }
            CAlertRules(store_).RaiseAlert(i, AlertKind::PowerOn, out.effects);
        }
        outcome = TextUtil::Format(Texts().processedWithPath.c_str(), processed.c_str(),
                                   FormatLogTime(h.messageTime).c_str(), pathText.c_str());
    } else if ((h.flags & InboxRecordHeader::kAlarmFlag) != 0) {
        if (!o.alertSettings.alarmAlert()) {
            outcome = Texts().notProcessed;
        } else {
            o.lastEventTime = h.messageTime;
            o.lastEventKind = kEventAlarm;
            o.lastEventText = map_.NameOf(o.currentZone);
            o.hasMessage |= kHasAlarm;
            o.alarmText = text;
            o.lastReceivedAt = h.receiveTime;
            o.lastMessageTime = h.messageTime;
            outcome = TextUtil::Format("%s %s\r\n", processed.c_str(),
                                       FormatLogTime(h.messageTime).c_str());
            CAlertRules(store_).RaiseAlert(i, AlertKind::Alarm, out.effects);
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
    out.logEntry = entry + outcome;
    return out;
}

void CRecordProcessor::RecomputeFromLastMessages(const Settings& settings) {
    for (int i = 0; i < store_.objectCount; ++i) {
        ObjectRecord& o = store_.Object(i);
        if ((o.hasMessage & kHasPosition) != 0) {
            const InboxRecordHeader h = InboxRecordHeader::Decode(o.lastMessage.data());
            o.speedKmh = TruncateTowardZero(h.speed);
            o.latitude = h.latitude;
            o.longitude = h.longitude;
            o.currentZone = map_.FindZoneAt(o.latitude, o.longitude);
            o.currentZoneName = map_.NameOf(o.currentZone);
        }
        if (o.hasSettings == 0) {
            o.firstTimeout = settings.firstTimeOut;
            o.secondTimeout = settings.secondTimeOut;
            o.alertSettings = AlertSettings();
        }
    }
}
