#include "journal/PeriodDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Icons.h"
#include "app/Prompt.h"
#include "platform/Clock.h"
#include "replay/PeriodPicker.h"

CPeriodDialog::CPeriodDialog(const QString& title, const Clock& clock, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("periodDialog"));
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(Icons::AppIcon());
    picker_ = new CPeriodPicker(clock, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picker_);
    layout->addWidget(buttons);

    SetPeriod(ReplayPeriod::Today(clock.Now()));
    connect(buttons, &QDialogButtonBox::accepted, this, &CPeriodDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPeriodDialog::reject);
}

ReplayPeriod CPeriodDialog::Period() const {
    return picker_->Period();
}

void CPeriodDialog::SetPeriod(const ReplayPeriod& period) {
    picker_->SetPeriod(period);
}

void CPeriodDialog::accept() {
    const ReplayPeriod period = Period();
    if (!(period.fromShown < period.toShown)) {
        Prompt::Message(this, QStringLiteral("Начало периода должно быть раньше конца."),
                        QStringLiteral("Sentrel"), Prompt::Icon::Warning);
        return;
    }
    QDialog::accept();
}
