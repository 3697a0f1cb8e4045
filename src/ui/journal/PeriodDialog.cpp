#include "journal/PeriodDialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Icons.h"
#include "app/Prompt.h"
#include "platform/Clock.h"

CPeriodDialog::CPeriodDialog(const QString& title, const Clock& clock, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("periodDialog"));
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(Icons::AppIcon());
    auto makeEdit = [this] {
        auto* edit = new QDateTimeEdit(this);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        edit->setTimeSpec(Qt::UTC);
        edit->setCalendarPopup(true);
        return edit;
    };
    from_ = makeEdit();
    to_ = makeEdit();
    auto* lastHour = new QPushButton(QStringLiteral("последний час"), this);
    auto* today = new QPushButton(QStringLiteral("сегодня"), this);
    yesterday_ = new QPushButton(QStringLiteral("вчера"), this);
    for (QPushButton* b : {lastHour, today, yesterday_}) {
        b->setAutoDefault(false);
    }
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("С"), this), 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("по"), this), 1, 0);
    grid->addWidget(to_, 1, 1);
    auto* quick = new QHBoxLayout;
    quick->addWidget(lastHour);
    quick->addWidget(today);
    quick->addWidget(yesterday_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(quick);
    layout->addWidget(buttons);

    SetPeriod(ReplayPeriod::Today(clock.Now()));
    connect(lastHour, &QPushButton::clicked, this,
            [this, &clock] { SetPeriod(ReplayPeriod::LastHour(clock.Now())); });
    connect(today, &QPushButton::clicked, this,
            [this, &clock] { SetPeriod(ReplayPeriod::Today(clock.Now())); });
    connect(yesterday_, &QPushButton::clicked, this,
            [this, &clock] { SetPeriod(ReplayPeriod::Yesterday(clock.Now())); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CPeriodDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPeriodDialog::reject);
}

QDateTime CPeriodDialog::ToQt(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), Qt::UTC);
}

DateTime CPeriodDialog::FromQt(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return DateTime::FromCalendar(d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second());
}

ReplayPeriod CPeriodDialog::Period() const {
    return {FromQt(from_->dateTime()), FromQt(to_->dateTime())};
}

void CPeriodDialog::SetPeriod(const ReplayPeriod& period) {
    from_->setDateTime(ToQt(period.fromShown));
    to_->setDateTime(ToQt(period.toShown));
}

void CPeriodDialog::accept() {
    const ReplayPeriod period = Period();
    if (!(period.fromShown < period.toShown)) {
        Prompt::Message(this, QStringLiteral("Начало периода должно быть раньше его конца."),
                        QStringLiteral("Sentrel"), Prompt::Icon::Warning);
        return;
    }
    QDialog::accept();
}
