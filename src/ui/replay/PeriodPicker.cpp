#include "replay/PeriodPicker.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "platform/Clock.h"

CPeriodPicker::CPeriodPicker(const Clock& clock, QWidget* parent) : QWidget(parent) {
    auto makeEdit = [this] {
        auto* edit = new QDateTimeEdit(this);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        edit->setTimeSpec(Qt::UTC);
        edit->setCalendarPopup(true);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &CPeriodPicker::periodChanged);
        return edit;
    };
    from_ = makeEdit();
    to_ = makeEdit();
    auto button = [this](const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        return b;
    };
    lastHour_ = button(QStringLiteral("последний час"));
    today_ = button(QStringLiteral("сегодня"));
    yesterday_ = button(QStringLiteral("вчера"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("С"), this), 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("по"), this), 1, 0);
    grid->addWidget(to_, 1, 1);
    auto* quick = new QHBoxLayout;
    quick->addWidget(lastHour_);
    quick->addWidget(today_);
    quick->addWidget(yesterday_);
    grid->addLayout(quick, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto choose = [this](const ReplayPeriod& period) {
        emit quickChosen();
        SetPeriod(period);
    };
    connect(lastHour_, &QPushButton::clicked, this,
            [choose, &clock] { choose(ReplayPeriod::LastHour(clock.Now())); });
    connect(today_, &QPushButton::clicked, this,
            [choose, &clock] { choose(ReplayPeriod::Today(clock.Now())); });
    connect(yesterday_, &QPushButton::clicked, this,
            [choose, &clock] { choose(ReplayPeriod::Yesterday(clock.Now())); });
}

QDateTime CPeriodPicker::ToQt(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), Qt::UTC);
}

DateTime CPeriodPicker::FromQt(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return DateTime::FromCalendar(d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second());
}

ReplayPeriod CPeriodPicker::Period() const {
    return {FromQt(from_->dateTime()), FromQt(to_->dateTime())};
}

void CPeriodPicker::SetPeriod(const ReplayPeriod& period) {
    {
        const QSignalBlocker blockFrom(from_);
        const QSignalBlocker blockTo(to_);
        from_->setDateTime(ToQt(period.fromShown));
        to_->setDateTime(ToQt(period.toShown));
    }
    emit periodChanged();
}
