#pragma once

#include <QDialog>

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
    QDateTimeEdit* FromEdit() const { return from_; }
    QDateTimeEdit* ToEdit() const { return to_; }
    QPushButton* YesterdayButton() const { return yesterday_; }

    // The pickers' values: display time as plain calendar fields.
    static QDateTime ToQt(const DateTime& t);
    static DateTime FromQt(const QDateTime& t);

    void accept() override;

private:
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QPushButton* yesterday_;
};
