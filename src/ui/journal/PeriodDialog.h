#pragma once

#include <QDialog>

#include "replay/PeriodPicker.h"
#include "replay/ReplayPeriod.h"

class Clock;
class QDateTimeEdit;
class QPushButton;

// A period in display time, asked for before a report: two pickers and the quick choices
// "последний час", "сегодня" and "вчера" (today when it opens).
class CPeriodDialog : public QDialog {
    Q_OBJECT
public:
    CPeriodDialog(const QString& title, const Clock& clock, QWidget* parent = nullptr);

    ReplayPeriod Period() const;
    void SetPeriod(const ReplayPeriod& period);
    QDateTimeEdit* FromEdit() const { return picker_->FromEdit(); }
    QDateTimeEdit* ToEdit() const { return picker_->ToEdit(); }
    QPushButton* YesterdayButton() const { return picker_->YesterdayButton(); }

    void accept() override;

private:
    CPeriodPicker* picker_;
};
