#include "settings/ThresholdsPage.h"

#include "app/QtText.h"
#include "ui_ThresholdsPage.h"

CThresholdsPage::CThresholdsPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CThresholdsPage>()) {
    ui_->setupUi(this);
}

CThresholdsPage::~CThresholdsPage() = default;

void CThresholdsPage::SetValues(const Settings& settings) {
    ui_->firstTimeoutEdit->setTime(ToQTime(settings.firstTimeOut));
    ui_->secondTimeoutEdit->setTime(ToQTime(settings.secondTimeOut));
}

void CThresholdsPage::TakeValues(Settings& settings) const {
    settings.firstTimeOut = FromQTime(ui_->firstTimeoutEdit->time());
    settings.secondTimeOut = FromQTime(ui_->secondTimeoutEdit->time());
}
