#include "settings/GeneralPage.h"

#include <QButtonGroup>

#include "app/QtText.h"
#include "ui_GeneralPage.h"

CGeneralPage::CGeneralPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CGeneralPage>()) {
    ui_->setupUi(this);
    timeButtons_ = new QButtonGroup(this);
    timeButtons_->addButton(ui_->localRadio, kLocal);
    timeButtons_->addButton(ui_->windowsRadio, kAsWindows);
    timeButtons_->addButton(ui_->universalRadio, kUniversal);

    connect(ui_->passwordCheck, &QCheckBox::toggled, this, [this] { UpdatePasswordField(); });
    connect(timeButtons_, &QButtonGroup::idToggled, this, [this] { UpdateLocalOffsetControls(); });
    connect(ui_->signButton, &QPushButton::clicked, this, [this] {
        sign_ = -sign_;
        ShowSign();
    });
}

CGeneralPage::~CGeneralPage() = default;

void CGeneralPage::SetValues(const Settings& settings) {
    const bool hasPassword = !settings.settingsPassword.empty();
    ui_->passwordCheck->setChecked(hasPassword);
    ui_->passwordEdit->setText(hasPassword ? FromCp(settings.settingsPassword) : QString());
    ui_->trayCheck->setChecked(settings.minimyzeTray);

    // TimeParam 0 (never chosen) selects no button; the group must allow that state.
    timeButtons_->setExclusive(false);
    for (QAbstractButton* button : timeButtons_->buttons()) {
        button->setChecked(false);
    }
    timeButtons_->setExclusive(true);
    const int64_t mode =
        settings.timeParam < 0 ? -static_cast<int64_t>(settings.timeParam) : settings.timeParam;
    if (QAbstractButton* button = timeButtons_->button(static_cast<int>(mode - 1))) {
        button->setChecked(true);
    }
    sign_ = settings.timeParam < 1 ? -1 : 1;
    ShowSign();

    ui_->timeSpanEdit->setTime(ToQTime(settings.timeSpan));

    UpdatePasswordField();
    UpdateLocalOffsetControls();
}

void CGeneralPage::TakeValues(Settings& settings) const {
    settings.settingsPassword = Password();
    settings.minimyzeTray = ui_->trayCheck->isChecked();
    const int32_t mode = TimeModeIndex() + 1;
    settings.timeParam = sign_ < 0 ? -mode : mode;
    settings.timeSpan = FromQTime(ui_->timeSpanEdit->time());
}

std::string CGeneralPage::Password() const {
    return ui_->passwordCheck->isChecked() ? ToCp(ui_->passwordEdit->text()) : std::string();
}

void CGeneralPage::FocusPassword() {
    ui_->passwordEdit->setFocus();
    ui_->passwordEdit->selectAll();
}

int CGeneralPage::TimeModeIndex() const {
    return timeButtons_->checkedId();
}

void CGeneralPage::UpdatePasswordField() {
    ui_->passwordEdit->setEnabled(ui_->passwordCheck->isChecked());
}

void CGeneralPage::UpdateLocalOffsetControls() {
    const bool local = TimeModeIndex() == kLocal;
    ui_->signButton->setEnabled(local);
    ui_->timeSpanEdit->setEnabled(local);
}

void CGeneralPage::ShowSign() {
    ui_->signButton->setText(sign_ < 0 ? "-" : "+");
}
