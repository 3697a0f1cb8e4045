#include "journal/JournalWindow.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Icons.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "journal/JournalModel.h"
#include "journal/PeriodDialog.h"
#include "journal/ReportTask.h"
#include "persist/ShiftReports.h"
#include "platform/Clock.h"
#include "replay/PeriodPicker.h"
#include "replay/VehicleChecklist.h"

namespace {

int lookIntervalMs = CJournalWindow::kLookIntervalMs;

const QString kCaption = QStringLiteral("Sentrel");
const QString kCsvFilter = QStringLiteral("Файлы CSV (*.csv)|*.csv||");

constexpr JournalKind kKinds[kJournalKindCount] = {
    JournalKind::Alarm,
    JournalKind::PowerOn,
    JournalKind::DestinationArrival,
    JournalKind::DestinationDeparture,
    JournalKind::ForbiddenArrival,
    JournalKind::ForbiddenDeparture,
};

}  // namespace

CJournalWindow::CJournalWindow(Input input, std::shared_ptr<AlertJournalSource> journal,
                               std::shared_ptr<TrackSource> tracks, const Clock& clock,
                               QWidget* owner)
    : QDialog(owner),
      input_(std::move(input)),
      journal_(std::move(journal)),
      tracks_(std::move(tracks)),
      clock_(clock) {
    setObjectName(QStringLiteral("journalWindow"));
    setWindowTitle(QStringLiteral("Журнал оповещений"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowIcon(Icons::AppIcon());

    model_ = new CJournalModel(journal_, input_.offsetMinutes, this);
    task_ = new CReportTask(this);

    // Left: the filter.
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    periodBox_ = new QCheckBox(QStringLiteral("Период:"), left);
    auto button = [](const char* text, QWidget* parent) {
        auto* b = new QPushButton(QString::fromUtf8(text), parent);
        b->setAutoDefault(false);
        return b;
    };
    period_ = new CPeriodPicker(clock_, left);
    leftLayout->addWidget(periodBox_);
    leftLayout->addWidget(period_);

    leftLayout->addWidget(new QLabel(QStringLiteral("Объекты (ни одного: все):"), left));
    vehicles_ = new CVehicleChecklist(input_.objects, {}, left);
    leftLayout->addWidget(vehicles_, 1);

    auto* kindsBox = new QGroupBox(QStringLiteral("События"), left);
    auto* kindsLayout = new QVBoxLayout(kindsBox);
    for (int i = 0; i < kJournalKindCount; ++i) {
        kinds_[static_cast<std::size_t>(i)] =
            new QCheckBox(FromCp(CShiftReports::KindText(kKinds[i])), kindsBox);
        kinds_[static_cast<std::size_t>(i)]->setChecked(true);
        kindsLayout->addWidget(kinds_[static_cast<std::size_t>(i)]);
    }
    leftLayout->addWidget(kindsBox);
    unacknowledged_ = new QCheckBox(QStringLiteral("только неподтверждённые"), left);
    unacknowledged_->setChecked(input_.onlyUnacknowledged);
    leftLayout->addWidget(unacknowledged_);

    // Right: the table, the reports under it.
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("journalTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(sortColumn_, sortOrder_);
    header->setStretchLastSection(true);
    int widths[CJournalModel::kColumnCount] = {154, 180, 210, 150, 135, 90, 70};
    // Unacknowledged rows are bold: the time and the longest kind fit whole in bold type.
    QFont bold = table_->font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    const int padding = 2 * table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    widths[0] = std::max(
        widths[0], boldMetrics.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + padding);
    for (int kind = 1; kind <= kJournalKindCount; ++kind) {
        const QString text = FromCp(CShiftReports::KindText(static_cast<JournalKind>(kind)));
        widths[2] = std::max(widths[2], boldMetrics.horizontalAdvance(text) + padding);
    }
    for (int c = 0; c < CJournalModel::kColumnCount; ++c) {
        table_->setColumnWidth(c, widths[c]);
    }
    export_ = button("Экспорт в CSV...", this);
    visits_ = button("Посещения районов...", this);
    mileage_ = button("Пробег по дням...", this);
    refresh_ = button("Обновить", this);
    status_ = new QLabel(this);
    auto* reports = new QHBoxLayout;
    reports->addWidget(refresh_);
    reports->addWidget(export_);
    reports->addWidget(visits_);
    reports->addWidget(mileage_);
    reports->addWidget(status_, 1);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(table_, 1);
    rightLayout->addLayout(reports);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
    // As wide as the columns want, but never wider than the screen it opens on.
    QSize size(1320, 640);
    if (const QScreen* shown = screen()) {
        size = size.boundedTo(shown->availableGeometry().size());
    }
    resize(size);
    splitter->setSizes({240, size.width() - 240});

    // The pickers start at today; the period is off until chosen.
    SetPeriod(ReplayPeriod::Today(clock_.Now()));
    periodBox_->setChecked(false);
    // A quick choice puts the period in force (the filter is applied once, for its period).
    connect(period_, &CPeriodPicker::quickChosen, this, [this] {
        const QSignalBlocker block(periodBox_);
        periodBox_->setChecked(true);
    });
    connect(periodBox_, &QCheckBox::toggled, this, &CJournalWindow::ApplyFilter);
    connect(period_, &CPeriodPicker::periodChanged, this, [this] {
        if (periodBox_->isChecked()) {
            ApplyFilter();
        }
    });
    connect(vehicles_, &QListWidget::itemChanged, this, &CJournalWindow::ApplyFilter);
    for (QCheckBox* box : kinds_) {
        connect(box, &QCheckBox::toggled, this, &CJournalWindow::ApplyFilter);
    }
    connect(unacknowledged_, &QCheckBox::toggled, this, &CJournalWindow::ApplyFilter);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder) { OnHeaderClicked(column); });
    // Alerts raised or acknowledged since: read again with the same filter.
    connect(refresh_, &QPushButton::clicked, this, &CJournalWindow::ApplyFilter);
    connect(export_, &QPushButton::clicked, this, &CJournalWindow::ExportAlerts);
    connect(visits_, &QPushButton::clicked, this, &CJournalWindow::ExportVisits);
    connect(mileage_, &QPushButton::clicked, this, &CJournalWindow::ExportMileage);
    connect(model_, &CJournalModel::settled, this, &CJournalWindow::OnSettled);
    connect(model_, &CJournalModel::changesWaiting, this, &CJournalWindow::OnChangesWaiting);
    if (lookIntervalMs > 0) {
        auto* look = new QTimer(this);
        connect(look, &QTimer::timeout, this, &CJournalWindow::LookForChanges);
        look->start(lookIntervalMs);
    }
    connect(model_, &CJournalModel::problem, this, [this](const QString& text) {
        status_->setText(text);
        Prompt::Message(this, QStringLiteral("Журнал оповещений не прочитан.\n") + text, kCaption,
                        Prompt::Icon::Warning);
    });
    connect(task_, &CReportTask::finished, this, [this](const QString& problem) {
        export_->setEnabled(true);
        visits_->setEnabled(true);
        mileage_->setEnabled(true);
        if (problem.isEmpty()) {
            status_->setText(QStringLiteral("Отчет записан: %1").arg(writtenPath_));
        } else {
            status_->setText(QString());
            Prompt::Message(this, problem, kCaption, Prompt::Icon::Stop);
        }
        emit reportFinished(problem);
    });

    // The model starts newest first, as the header shows.
    building_ = false;
    ApplyFilter();
}

CJournalWindow::~CJournalWindow() = default;

QCheckBox* CJournalWindow::KindBox(JournalKind kind) const {
    for (int i = 0; i < kJournalKindCount; ++i) {
        if (kKinds[i] == kind) {
            return kinds_[static_cast<std::size_t>(i)];
        }
    }
    return nullptr;
}

bool CJournalWindow::Writing() const {
    return task_->Running();
}

ReplayPeriod CJournalWindow::Period() const {
    return period_->Period();
}

void CJournalWindow::SetPeriod(const ReplayPeriod& period) {
    period_->SetPeriod(period);
}

std::vector<int32_t> CJournalWindow::ChosenNumbers() const {
    return vehicles_->ChosenNumbers();
}

AlertJournalSource::Filter CJournalWindow::BuildFilter() const {
    AlertJournalSource::Filter filter;
    if (periodBox_->isChecked()) {
        const ReplayPeriod period = Period();
        filter.fromUtc = period.FromUtc(input_.offsetMinutes);
        filter.toUtc = period.ToUtc(input_.offsetMinutes);
    }
    filter.objects = ChosenNumbers();
    filter.kinds = 0;
    for (int i = 0; i < kJournalKindCount; ++i) {
        if (kinds_[static_cast<std::size_t>(i)]->isChecked()) {
            filter.kinds |= JournalKindBit(kKinds[i]);
        }
    }
    filter.onlyUnacknowledged = unacknowledged_->isChecked();
    return filter;
}

void CJournalWindow::ApplyFilter() {
    if (building_) {
        return;
    }
    status_->setText(QStringLiteral("Чтение журнала..."));
    model_->SetFilter(BuildFilter());
}

void CJournalWindow::SetOnlyUnacknowledged(bool only) {
    unacknowledged_->setChecked(only);
}

void CJournalWindow::OnSettled() {
    if (!journal_) {
        status_->setText(QStringLiteral("Журнал оповещений в этой программе не ведется."));
        return;
    }
    status_->setText(QStringLiteral("Оповещений: %1").arg(model_->Total()));
}

void CJournalWindow::SetLookInterval(int ms) {
    lookIntervalMs = ms;
}

void CJournalWindow::LookForChanges() {
    if (isVisible() && !isMinimized()) {
        model_->LookForChanges();
    }
}

void CJournalWindow::OnChangesWaiting(qint64 total) {
    const bool atTop = table_->verticalScrollBar()->value() == 0;
    const bool selected = table_->selectionModel()->hasSelection();
    if (atTop && !selected && model_->TakeChanges()) {
        return;
    }
    status_->setText(
        QStringLiteral("Оповещений: %1. Есть новые записи: «Обновить» покажет их.").arg(total));
}

void CJournalWindow::OnHeaderClicked(int column) {
    QHeaderView* header = table_->horizontalHeader();
    if (!CJournalModel::OrderOfColumn(column)) {
        // "Кто" has no order of its own: the indicator goes back where it was.
        const QSignalBlocker block(header);
        header->setSortIndicator(sortColumn_, sortOrder_);
        return;
    }
    sortColumn_ = column;
    sortOrder_ = header->sortIndicatorOrder();
    model_->sort(sortColumn_, sortOrder_);
}

void CJournalWindow::StartReport(const QString& defaultName,
                                 std::function<std::string(const std::string& path)> write) {
    if (task_->Running()) {
        Prompt::Message(this, QStringLiteral("Предыдущий отчет еще записывается."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    const QString path = Prompt::SaveFile(this, kCsvFilter, defaultName, QString());
    if (path.isEmpty()) {
        return;
    }
    writtenPath_ = QDir::toNativeSeparators(path);
    status_->setText(QStringLiteral("Запись отчета..."));
    export_->setEnabled(false);
    visits_->setEnabled(false);
    mileage_->setEnabled(false);
    const std::string target = ToCp(path);
    task_->Start([write = std::move(write), target] { return write(target); });
}

void CJournalWindow::ExportAlerts() {
    if (!journal_) {
        Prompt::Message(this, QStringLiteral("Журнал оповещений в этой программе не ведется."),
                        kCaption, Prompt::Icon::Warning);
        return;
    }
    std::shared_ptr<AlertJournalSource> journal = journal_;
    const AlertJournalSource::Filter filter = BuildFilter();
    const int32_t offset = input_.offsetMinutes;
    StartReport(QStringLiteral("journal.csv"), [journal, filter, offset](const std::string& path) {
        std::string problem;
        CShiftReports::WriteAlerts(*journal, filter, offset, path, problem);
        return problem;
    });
}

std::vector<CShiftReports::Vehicle> CJournalWindow::ReportVehicles() const {
    const std::vector<int32_t> chosen = ChosenNumbers();
    std::vector<CShiftReports::Vehicle> vehicles;
    for (const AddressBookEntry& entry : input_.objects) {
        if (chosen.empty() ||
            std::find(chosen.begin(), chosen.end(), entry.number) != chosen.end()) {
            // One report row set per vehicle, however many entries share its number.
            const bool listed = std::any_of(
                vehicles.begin(), vehicles.end(),
                [&](const CShiftReports::Vehicle& v) { return v.number == entry.number; });
            if (!listed) {
                vehicles.push_back({entry.number, entry.name});
            }
        }
    }
    return vehicles;
}

bool CJournalWindow::CheckRoutePeriod() {
    if (!tracks_) {
        Prompt::Message(this, QStringLiteral("Маршруты в этой программе не хранятся."), kCaption,
                        Prompt::Icon::Warning);
        return false;
    }
    if (!periodBox_->isChecked()) {
        Prompt::Message(this,
                        QStringLiteral("Выберите период: отчет строится по маршрутам за период."),
                        kCaption, Prompt::Icon::Warning);
        return false;
    }
    const ReplayPeriod period = Period();
    if (!(period.fromShown < period.toShown)) {
        Prompt::Message(this, QStringLiteral("Начало периода должно быть раньше конца."), kCaption,
                        Prompt::Icon::Warning);
        return false;
    }
    if (ReportVehicles().empty()) {
        Prompt::Message(this, QStringLiteral("В адресной книге нет объектов."), kCaption,
                        Prompt::Icon::Warning);
        return false;
    }
    return true;
}

void CJournalWindow::ExportVisits() {
    ExportRoutes(QStringLiteral("visits.csv"), &CShiftReports::WriteVisits);
}

void CJournalWindow::ExportMileage() {
    ExportRoutes(QStringLiteral("mileage.csv"), &CShiftReports::WriteMileage);
}

void CJournalWindow::ExportRoutes(const QString& defaultName, RouteReport write) {
    if (!CheckRoutePeriod()) {
        return;
    }
    std::shared_ptr<TrackSource> tracks = tracks_;
    const std::vector<CShiftReports::Vehicle> vehicles = ReportVehicles();
    const ReplayPeriod period = Period();
    const int32_t offset = input_.offsetMinutes;
    StartReport(defaultName, [tracks, vehicles, period, offset, write](const std::string& path) {
        std::string problem;
        write(*tracks, vehicles, period.FromUtc(offset), period.ToUtc(offset), offset, path,
              problem);
        return problem;
    });
}
