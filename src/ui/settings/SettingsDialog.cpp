#include "settings/SettingsDialog.h"

#include <QPushButton>
#include <limits>

#include "app/Prompt.h"
#include "app/QtText.h"
#include "settings/ColumnsPage.h"
#include "settings/DataPage.h"
#include "settings/GeneralPage.h"
#include "settings/SoundsPage.h"
#include "settings/ThresholdsPage.h"
#include "ui_SettingsDialog.h"

namespace {

const QString kCaption = QStringLiteral("Sentrel");

}  // namespace

CSettingsDialog::CSettingsDialog(const Settings& settings, const std::vector<int32_t>& columnIds,
                                 const std::vector<int32_t>& columnWidths, int32_t mainWindowWidth,
                                 SoundOutput& sound, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CSettingsDialog>()),
      settings_(settings),
      columnIds_(columnIds),
      columnWidths_(columnWidths) {
    ui_->setupUi(this);
    general_ = new CGeneralPage(this);
    data_ = new CDataPage(this);
    thresholds_ = new CThresholdsPage(this);
    sounds_ = new CSoundsPage(sound, this);
    columns_ = new CColumnsPage(this);
    ui_->tabWidget->addTab(general_, QStringLiteral("Общие"));
    ui_->tabWidget->addTab(data_, QStringLiteral("Данные"));
    ui_->tabWidget->addTab(thresholds_, QStringLiteral("Пороги"));
    ui_->tabWidget->addTab(sounds_, QStringLiteral("Звуки"));
    ui_->tabWidget->addTab(columns_, QStringLiteral("Вид"));
    ui_->tabWidget->setCurrentIndex(0);
    OrderTabStops();

    general_->SetValues(settings);
    data_->SetValues(settings);
    thresholds_->SetValues(settings);
    sounds_->SetValues(settings);
    columns_->SetColumns(columnIds, columnWidths, mainWindowWidth);
    ui_->timerEdit->setText(QString::number(settings.timer));

    connect(ui_->saveButton, &QPushButton::clicked, this, &CSettingsDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CSettingsDialog::reject);
}

CSettingsDialog::~CSettingsDialog() = default;

// The pages join the dialog after its own controls, so their controls would come last
// in the tab order; put them between the tab bar and the polling period.
void CSettingsDialog::OrderTabStops() {
    std::vector<QWidget*> order{ui_->tabWidget};
    for (QWidget* page :
         std::initializer_list<QWidget*>{general_, data_, thresholds_, sounds_, columns_}) {
        for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) {
                order.push_back(w);
            }
        }
    }
    order.insert(order.end(), {ui_->timerEdit, ui_->saveButton, ui_->cancelButton});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

std::optional<long long> CSettingsDialog::ParseInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    if (i == t.size()) {
        return std::nullopt;
    }
    // Saturates like the C conversion, so that a huge number is reported as out of range.
    constexpr long long kLimit = std::numeric_limits<int32_t>::max() + 1LL;
    long long value = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') {
            return std::nullopt;
        }
        value = std::min(kLimit, value * 10 + (t[i].unicode() - '0'));
    }
    return negative ? -value : value;
}

bool CSettingsDialog::ValidateTimer(int32_t& timer) {
    const std::optional<long long> value = ParseInteger(ui_->timerEdit->text());
    QString problem;
    if (!value) {
        problem = QStringLiteral("Please enter an integer.");
    } else if (*value < kMinTimer || *value > kMaxTimer) {
        problem = QStringLiteral("Please enter an integer between %1 and %2.")
                      .arg(kMinTimer)
                      .arg(kMaxTimer);
    }
    if (!problem.isEmpty()) {
        Prompt::Message(this, problem, kCaption, Prompt::Icon::Warning);
        ui_->timerEdit->setFocus();
        ui_->timerEdit->selectAll();
        return false;
    }
    timer = static_cast<int32_t>(*value);
    return true;
}

void CSettingsDialog::accept() {
    int32_t timer = 0;
    if (!ValidateTimer(timer)) {
        return;
    }
    // The file keeps the password on one line; a password whose scrambled form holds a
    // line break or NUL would come back cut, locking the operator out.
    if (!IsStorablePassword(general_->Password())) {
        Prompt::Message(this,
                        QStringLiteral("Этот пароль не может быть сохранен в файле настроек.\n"
                                       "Пожалуйста, выберите другой пароль."),
                        kCaption, Prompt::Icon::Stop);
        ui_->tabWidget->setCurrentWidget(general_);
        general_->FocusPassword();
        return;
    }

    Settings result = settings_;
    data_->TakeValues(result);
    result.timer = timer;
    thresholds_->TakeValues(result);
    sounds_->TakeValues(result);
    general_->TakeValues(result);
    settings_ = result;
    columnsChanged_ = columns_->TakeColumns(columnIds_, columnWidths_);
    QDialog::accept();
}

void CSettingsDialog::done(int result) {
    // No test sound may outlive the dialog, whichever button closed it.
    sounds_->StopPlayer();
    QDialog::done(result);
}
