#include "settings/ThresholdsPage.h"

#include <QTime>

#include "ui_ThresholdsPage.h"

namespace {

QTime ToQTime(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    return QTime(f.hour, f.minute, f.second);
}

DateTime FromQTime(const QTime& t) {
    return DateTime::FromTimeOfDay(t.hour(), t.minute(), t.second());
}

}  // namespace

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
