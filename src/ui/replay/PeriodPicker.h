#pragma once

#include <QDateTime>
#include <QWidget>

#include "replay/ReplayPeriod.h"

class Clock;
class QDateTimeEdit;
class QPushButton;

// A period in display time, as the replay, the journal and the report dialog ask for it:
// "С" and "по" with date-time pickers, and the quick choices "последний час", "сегодня"
// and "вчера" taken from the clock when pressed.
class CPeriodPicker : public QWidget {
    Q_OBJECT
public:
    CPeriodPicker(const Clock& clock, QWidget* parent = nullptr);

    ReplayPeriod Period() const;
    // Both ends at once: one periodChanged.
    void SetPeriod(const ReplayPeriod& period);

    QDateTimeEdit* FromEdit() const { return from_; }
    QDateTimeEdit* ToEdit() const { return to_; }
    QPushButton* LastHourButton() const { return lastHour_; }
    QPushButton* TodayButton() const { return today_; }
    QPushButton* YesterdayButton() const { return yesterday_; }

    // The pickers' values: display time as plain calendar fields.
    static QDateTime ToQt(const DateTime& t);
    static DateTime FromQt(const QDateTime& t);

signals:
    // A quick choice was pressed; its period follows (periodChanged).
    void quickChosen();
    // The period changed: an end edited, a quick choice, or SetPeriod.
    void periodChanged();

private:
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QPushButton* lastHour_;
    QPushButton* today_;
    QPushButton* yesterday_;
};
