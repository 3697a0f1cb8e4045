// Alert rules: which event sounds, which shows a notice, and the hand-over of both.
#include "alerts/SoundPlayer.h"
#include "console/Console.h"
#include "model/Cp1251.h"
#include "model/TextUtil.h"

namespace {
// The pop-up's text buffer holds 1024 bytes with the terminator.
constexpr std::size_t kMaxPopupTextLength = 1023;
}  // namespace

void CConsole::RaiseAlert(int objectIndex, AlertKind kind) {
    const ObjectRecord& o = store.Object(objectIndex);
    const AlertSettings& a = o.alertSettings;
    switch (kind) {
        case AlertKind::Alarm:
            if (!a.alarmAlert())
                return;
            if (a.alarmSound())
                StartSound(AlertKind::Alarm);
            if (a.alarmPopup()) {
                // The alarm notice names the object before its number.
                ShowPopup(TextUtil::Format(W("Тревога на объекте %s-%s\r\n%s\r\n%s\r\n%s").c_str(),
                                           o.name.c_str(), o.id.c_str(),
                                           store.FormatEventTime(objectIndex).c_str(),
                                           o.alarmText.c_str(), o.lastEventText.c_str()),
                          PopupKind::Alarm);
            }
            return;
        case AlertKind::PowerOn:
            if (!a.powerOnAlert())
                return;
            if (a.powerOnSound())
                StartSound(AlertKind::PowerOn);
            if (a.powerOnPopup()) {
                const std::string zone = o.currentZone == -1 ? "---" : o.currentZoneName;
                ShowPopup(TextUtil::Format(
                              W("Включение контроллера на объекте %s-%s\r\n%s\r\n%s").c_str(),
                              o.id.c_str(), o.name.c_str(),
                              store.FormatMessageTime(objectIndex).c_str(), zone.c_str()),
                          PopupKind::PowerOn);
            }
            return;
        case AlertKind::DestinationZone:
            if (a.destinationAlert() && a.destinationSound())
                StartSound(AlertKind::DestinationZone);
            return;
        case AlertKind::ForbiddenZone:
            if (a.forbiddenAlert() && a.forbiddenSound())
                StartSound(AlertKind::ForbiddenZone);
            return;
    }
}

void CConsole::ShowPopup(const std::string& text, PopupKind kind) {
    view_.ShowPopup(text.size() > kMaxPopupTextLength ? text.substr(0, kMaxPopupTextLength) : text,
                    kind);
}

void CConsole::StartSound(AlertKind kind) {
    soundPlayer_->SetPaths(SoundPaths());
    soundPlayer_->StartSound(kind);
}

int32_t CConsole::soundKind() const {
    return soundPlayer_->soundKind();
}

std::array<std::string, 4> CConsole::SoundPaths() const {
    // Indexed by AlertKind.
    return {settings.alarmSoundPath, settings.puSoundPath, settings.badZoneSoundPath,
            settings.specZoneSoundPath};
}
