#include "alerts/ObjectSettingsDialog.h"

#include "app/Prompt.h"
#include "app/QtText.h"
#include "ui_ObjectSettingsDialog.h"

CObjectSettingsDialog::CObjectSettingsDialog(const QString& caption,
                                             const ObjectSettingsEdit& initial, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CObjectSettingsDialog>()), flags_(initial.flags) {
    ui_->setupUi(this);
    setWindowTitle(caption);

    using F = AlertSettings;
    boxes_[F::kPowerOnAlert] = ui_->powerOnAlertCheck;
    boxes_[F::kPowerOnSound] = ui_->powerOnSoundCheck;
    boxes_[F::kPowerOnPopup] = ui_->powerOnPopupCheck;
    boxes_[F::kAlarmAlert] = ui_->alarmAlertCheck;
    boxes_[F::kAlarmSound] = ui_->alarmSoundCheck;
    boxes_[F::kAlarmPopup] = ui_->alarmPopupCheck;
    boxes_[F::kDestinationArrival] = ui_->destinationArrivalCheck;
    boxes_[F::kDestinationDeparture] = ui_->destinationDepartureCheck;
    boxes_[F::kDestinationAlert] = ui_->destinationAlertCheck;
    boxes_[F::kDestinationSound] = ui_->destinationSoundCheck;
    boxes_[F::kDestinationPopup] = ui_->destinationPopupCheck;
    boxes_[F::kForbiddenArrival] = ui_->forbiddenArrivalCheck;
    boxes_[F::kForbiddenDeparture] = ui_->forbiddenDepartureCheck;
    boxes_[F::kForbiddenAlert] = ui_->forbiddenAlertCheck;
    boxes_[F::kForbiddenSound] = ui_->forbiddenSoundCheck;
    boxes_[F::kForbiddenPopup] = ui_->forbiddenPopupCheck;
    groups_ = {
        {F::kAlarmAlert, {F::kAlarmSound, F::kAlarmPopup}},
        {F::kPowerOnAlert, {F::kPowerOnSound, F::kPowerOnPopup}},
        {F::kDestinationAlert,
         {F::kDestinationArrival, F::kDestinationDeparture, F::kDestinationSound,
          F::kDestinationPopup}},
        {F::kForbiddenAlert,
         {F::kForbiddenArrival, F::kForbiddenDeparture, F::kForbiddenSound, F::kForbiddenPopup}},
    };

    for (int f = 0; f < F::kCount; ++f) {
        ShowFlag(f);
        connect(boxes_[static_cast<std::size_t>(f)], &QCheckBox::clicked, this,
                [this, f] { OnFlagClicked(f); });
    }
    UpdateGroups();

    // Set before connecting: only the operator's changes count as changes.
    ui_->firstTimeoutEdit->setTime(ToQTime(initial.firstTimeout));
    ui_->secondTimeoutEdit->setTime(ToQTime(initial.secondTimeout));
    connect(ui_->firstTimeoutEdit, &QTimeEdit::timeChanged, this, [this] { firstChanged_ = true; });
    connect(ui_->secondTimeoutEdit, &QTimeEdit::timeChanged, this,
            [this] { secondChanged_ = true; });

    connect(ui_->resetPathButton, &QPushButton::clicked, this, [this] { AskResetPath(); });
    connect(ui_->zonesButton, &QPushButton::clicked, this,
            &CObjectSettingsDialog::zoneAssignmentRequested);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CObjectSettingsDialog::~CObjectSettingsDialog() = default;

ObjectSettingsEdit CObjectSettingsDialog::values() const {
    ObjectSettingsEdit v;
    v.firstTimeout = FromQTime(ui_->firstTimeoutEdit->time());
    v.secondTimeout = FromQTime(ui_->secondTimeoutEdit->time());
    v.firstTimeoutChanged = firstChanged_;
    v.secondTimeoutChanged = secondChanged_;
    v.flags = flags_;
    v.resetPath = resetPath_;
    return v;
}

void CObjectSettingsDialog::SetThresholdsOnly(bool thresholdsOnly) {
    thresholdsOnly_ = thresholdsOnly;
    const std::array<QWidget*, 5> alertControls = {ui_->alarmFrame, ui_->powerOnFrame,
                                                   ui_->destinationFrame, ui_->forbiddenFrame,
                                                   ui_->zonesButton};
    for (QWidget* w : alertControls) {
        w->setEnabled(!thresholdsOnly);
    }
    ui_->resetPathButton->setEnabled(!thresholdsOnly && !resetPath_);
}

void CObjectSettingsDialog::ShowFlag(int field) {
    QCheckBox* box = boxes_[static_cast<std::size_t>(field)];
    const int32_t value = flags_[field];
    // Tristate only while mixed: Qt then steps from the indeterminate state to checked,
    // and the box can never be clicked back into it.
    box->setTristate(value == ObjectSettingsEdit::kMixed);
    box->setCheckState(value == 0                            ? Qt::Unchecked
                       : value == ObjectSettingsEdit::kMixed ? Qt::PartiallyChecked
                                                             : Qt::Checked);
}

void CObjectSettingsDialog::OnFlagClicked(int field) {
    const int32_t old = flags_[field];
    flags_[field] = (old == 0 || old == ObjectSettingsEdit::kMixed) ? 1 : 0;
    ShowFlag(field);
    UpdateGroups();
}

void CObjectSettingsDialog::UpdateGroups() {
    for (const Group& group : groups_) {
        const int32_t value = flags_[group.groupField];
        const bool on = value != 0 && value != ObjectSettingsEdit::kMixed;
        for (int f : group.dependentFields) {
            boxes_[static_cast<std::size_t>(f)]->setEnabled(on);
        }
    }
}

void CObjectSettingsDialog::AskResetPath() {
    const int answer =
        Prompt::Message(this, QStringLiteral("Вы уверены, что хотите обнулить пройденый путь?"),
                        QStringLiteral("Sentrel"), Prompt::Icon::Question, Prompt::Buttons::YesNo);
    if (answer == Prompt::kYes) {
        resetPath_ = true;
        ui_->resetPathButton->setEnabled(false);
    }
}
