#include "replay/ReplayWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/Icons.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "basemap/BaseLayerChoice.h"
#include "persist/GpxWriter.h"
#include "platform/Clock.h"
#include "replay/PeriodPicker.h"
#include "replay/ReplayMapView.h"
#include "replay/ReplayTrack.h"
#include "replay/VehicleChecklist.h"

namespace {

const QString kCaption = QStringLiteral("Sentrel");
// How often the play moves the slider, in milliseconds.
constexpr int kTickMs = 50;

QString Shown(const DateTime& utc, int offsetMinutes) {
    return FromCp(FormatLocaleDateTime(utc.AddMinutes(-offsetMinutes)));
}

}  // namespace

CReplayWindow::CReplayWindow(Input input, std::shared_ptr<TrackSource> source, const Clock& clock,
                             QWidget* owner)
    : QDialog(owner), input_(std::move(input)), source_(std::move(source)), clock_(clock) {
    setObjectName(QStringLiteral("replayWindow"));
    setWindowTitle(QStringLiteral("История движения"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowIcon(Icons::AppIcon());

    // Left: the vehicles and the period.
    vehicles_ = new CVehicleChecklist(input_.objects, input_.chosen, this);
    period_ = new CPeriodPicker(clock_, this);
    auto button = [this](const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        return b;
    };
    show_ = button("Показать");
    export_ = button("Экспорт в GPX...");

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(new QLabel(QStringLiteral("Объекты:"), left));
    leftLayout->addWidget(vehicles_, 1);
    leftLayout->addWidget(period_);
    leftLayout->addWidget(show_);
    leftLayout->addWidget(export_);

    // Middle: the map with the slider under it.
    map_ = new CReplayMapView(this);
    map_->setObjectName(QStringLiteral("replayMap"));
    // The same base layer as the map window's, when the settings name one.
    const BaseLayerChoice base =
        BaseLayerChoice::From(input_.baseMapFile, input_.baseMapUrl, input_.tileCacheFolder);
    map_->SetBaseLayer(base.source, base.note);
    map_->SetZones(input_.zones);
    play_ = button("Пуск");
    speed_ = new QComboBox(this);
    for (const int speed : kSpeeds) {
        speed_->addItem(QStringLiteral("×%1").arg(speed), speed);
    }
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, 0);
    moment_ = new QLabel(this);
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(play_);
    playRow->addWidget(speed_);
    playRow->addWidget(slider_, 1);
    playRow->addWidget(moment_);
    auto* middle = new QWidget(this);
    auto* middleLayout = new QVBoxLayout(middle);
    middleLayout->setContentsMargins(0, 0, 0, 0);
    middleLayout->addWidget(map_, 1);
    middleLayout->addLayout(playRow);

    // Under the map: the zone visits, as wide as the map, so that their five columns
    // fit without a horizontal scroll bar; the last column takes the width left.
    visits_ = new QTableWidget(0, 5, this);
    visits_->setHorizontalHeaderLabels({QStringLiteral("Объект"), QStringLiteral("Район"),
                                        QStringLiteral("С"), QStringLiteral("По"),
                                        QStringLiteral("Длительность")});
    visits_->verticalHeader()->hide();
    visits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    visits_->setSelectionBehavior(QAbstractItemView::SelectRows);
    visits_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Sized to their contents when filled; the last one takes the width left.
    visits_->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    SizeVisitColumns();

    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(middle);
    right->addWidget(visits_);
    right->setStretchFactor(0, 1);
    right->setChildrenCollapsible(false);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
    resize(kDefaultSize);
    splitter->setSizes({230, kDefaultSize.width() - 230});
    right->setSizes({kDefaultSize.height() - 200, 200});

    SetPeriod(ReplayPeriod::LastHour(clock_.Now()));
    connect(show_, &QPushButton::clicked, this, &CReplayWindow::ShowRoutes);
    connect(export_, &QPushButton::clicked, this, &CReplayWindow::ExportGpx);
    connect(play_, &QPushButton::clicked, this, &CReplayWindow::TogglePlay);
    connect(slider_, &QSlider::valueChanged, this, &CReplayWindow::OnSlider);
    connect(visits_, &QTableWidget::cellClicked, this, [this](int row, int) {
        QTableWidgetItem* item = visits_->item(row, 0);
        if (item != nullptr) {
            slider_->setValue(item->data(Qt::UserRole).toInt());
        }
    });
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CReplayWindow::Tick);
}

CReplayWindow::~CReplayWindow() {
    if (reader_.joinable()) {
        reader_.join();
    }
}

std::vector<int32_t> CReplayWindow::ChosenNumbers() const {
    return vehicles_->ChosenNumbers();
}

ReplayPeriod CReplayWindow::Period() const {
    return period_->Period();
}

void CReplayWindow::SetPeriod(const ReplayPeriod& period) {
    period_->SetPeriod(period);
}

std::string CReplayWindow::TitleOf(int32_t number) const {
    for (const AddressBookEntry& entry : input_.objects) {
        if (entry.number == number) {
            return entry.id + " " + entry.name;
        }
    }
    return std::to_string(number);
}

void CReplayWindow::ShowRoutes() {
    const std::vector<int32_t> numbers = ChosenNumbers();
    const ReplayPeriod period = Period();
    if (numbers.empty()) {
        Prompt::Message(this, QStringLiteral("Не выбран ни один объект."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    if (!(period.fromShown < period.toShown)) {
        Prompt::Message(this, QStringLiteral("Начало периода должно быть раньше конца."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    // A longer period is refused rather than cut: the dispatcher sees what was asked for
    // or is told why not, never part of it taken for the whole.
    // The pickers hold whole seconds; half a second spares the rounding of day fractions.
    if (period.toShown - period.fromShown > kLongestPeriodDays + 0.5 / 86400) {
        Prompt::Message(this, QStringLiteral("Период не может быть длиннее 31 дня."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    if (!source_) {
        Prompt::Message(this, QStringLiteral("Маршруты в этой программе не хранятся."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    timer_.stop();
    play_->setText(QStringLiteral("Пуск"));
    reading_ = true;
    show_->setEnabled(false);
    moment_->setText(QStringLiteral("Чтение маршрутов..."));
    ReadResult result;
    result.generation = ++generation_;
    result.fromUtc = period.FromUtc(input_.offsetMinutes);
    result.toUtc = period.ToUtc(input_.offsetMinutes);
    // The store is read on a thread of the window's own: a long period must not stop the
    // window. "Показать" stays disabled until the answer is taken, so the thread before
    // has ended (or is about to) when the next one starts; the window waits for it when
    // it closes. The answer passes through readMutex_; the queued call only wakes this
    // thread.
    if (reader_.joinable()) {
        reader_.join();
    }
    std::shared_ptr<TrackSource> source = source_;
    reader_ = std::thread([this, source, numbers, result]() mutable {
        for (const int32_t number : numbers) {
            result.reads.emplace_back(number, source->Points(number, result.fromUtc, result.toUtc));
        }
        {
            std::lock_guard<std::mutex> lock(readMutex_);
            ready_ = std::move(result);
        }
        QMetaObject::invokeMethod(this, "DeliverRoutes", Qt::QueuedConnection);
    });
}

void CReplayWindow::DeliverRoutes() {
    std::optional<ReadResult> result;
    {
        std::lock_guard<std::mutex> lock(readMutex_);
        result.swap(ready_);
    }
    if (result) {
        TakeRoutes(*result);
    }
}

void CReplayWindow::TakeRoutes(const ReadResult& result) {
    if (result.generation != generation_) {
        return;
    }
    reading_ = false;
    show_->setEnabled(true);
    QStringList problems;
    std::vector<std::unique_ptr<CReplayTrack>> tracks;
    for (const auto& [number, read] : result.reads) {
        if (!read.problem.empty()) {
            problems << QStringLiteral("%1: %2").arg(FromCp(TitleOf(number)), FromCp(read.problem));
            continue;
        }
        tracks.push_back(std::make_unique<CReplayTrack>(number, TitleOf(number), read.points));
    }
    tracks_ = std::move(tracks);
    shownFrom_ = result.fromUtc;
    std::vector<const CReplayTrack*> shown;
    int pointCount = 0;
    for (const auto& track : tracks_) {
        shown.push_back(track.get());
        pointCount += static_cast<int>(track->Points().size());
    }
    map_->SetTracks(shown);
    const double seconds = std::round((result.toUtc - result.fromUtc) * 86400);
    playSeconds_ = 0;
    {
        const QSignalBlocker block(slider_);
        slider_->setRange(0, static_cast<int>(std::min(seconds, 2e9)));
        slider_->setValue(0);
    }
    OnSlider(0);
    FillVisits();
    if (!problems.isEmpty()) {
        Prompt::Message(this, QStringLiteral("Маршруты прочитаны не все.\n") + problems.join('\n'),
                        kCaption, Prompt::Icon::Warning);
    } else if (pointCount == 0) {
        moment_->setText(QStringLiteral("За этот период точек нет"));
    }
    emit routesShown();
}

void CReplayWindow::FillVisits() {
    visits_->setRowCount(0);
    for (const auto& track : tracks_) {
        for (const TrackVisit& visit : track->Visits()) {
            const int row = visits_->rowCount();
            visits_->insertRow(row);
            // The visit ends when the vehicle is first seen outside; with no such point
            // in the period, at its last point inside.
            const bool left = !visit.firstOutside.IsNever();
            const DateTime end = left ? visit.firstOutside : visit.lastInside;
            auto* who = new QTableWidgetItem(FromCp(track->Title()));
            who->setData(Qt::UserRole,
                         static_cast<int>(std::round((visit.firstInside - shownFrom_) * 86400)));
            visits_->setItem(row, 0, who);
            visits_->setItem(row, 1, new QTableWidgetItem(FromCp(visit.zoneName)));
            visits_->setItem(
                row, 2,
                new QTableWidgetItem((visit.beganBeforePeriod ? QStringLiteral("≤ ") : QString()) +
                                     Shown(visit.firstInside, input_.offsetMinutes)));
            visits_->setItem(row, 3,
                             new QTableWidgetItem((left ? QString() : QStringLiteral("≥ ")) +
                                                  Shown(end, input_.offsetMinutes)));
            const SpanFields span = SplitSpan(end - visit.firstInside);
            QString duration = QStringLiteral("%1:%2:%3")
                                   .arg(span.hours)
                                   .arg(span.minutes, 2, 10, QLatin1Char('0'))
                                   .arg(span.seconds, 2, 10, QLatin1Char('0'));
            if (span.days > 0) {
                duration = QStringLiteral("%1 д %2").arg(span.days).arg(duration);
            }
            visits_->setItem(row, 4, new QTableWidgetItem(duration));
        }
    }
    SizeVisitColumns();
}

void CReplayWindow::SizeVisitColumns() {
    // One by one: resizeColumnsToContents() would size the stretching column too.
    for (int column = 0; column + 1 < visits_->columnCount(); ++column) {
        visits_->resizeColumnToContents(column);
    }
}

DateTime CReplayWindow::SliderUtc() const {
    return shownFrom_.AddDays(slider_->value() / 86400.0);
}

void CReplayWindow::OnSlider(int seconds) {
    if (!ticking_) {
        playSeconds_ = seconds;
    }
    const DateTime utc = SliderUtc();
    map_->ShowMoment(utc);
    moment_->setText(Shown(utc, input_.offsetMinutes));
}

void CReplayWindow::TogglePlay() {
    if (timer_.isActive()) {
        timer_.stop();
        play_->setText(QStringLiteral("Пуск"));
        return;
    }
    if (slider_->maximum() == 0) {
        return;
    }
    if (slider_->value() >= slider_->maximum()) {
        slider_->setValue(0);
    }
    playSeconds_ = slider_->value();
    sinceTick_.start();
    timer_.start();
    play_->setText(QStringLiteral("Пауза"));
}

void CReplayWindow::Tick() {
    // The time that really passed, not the timer's interval: a busy window does not
    // slow the replay down.
    const double elapsed = sinceTick_.restart() / 1000.0;
    playSeconds_ += elapsed * speed_->currentData().toInt();
    ticking_ = true;
    slider_->setValue(static_cast<int>(std::min<double>(playSeconds_, slider_->maximum())));
    ticking_ = false;
    if (slider_->value() >= slider_->maximum()) {
        timer_.stop();
        play_->setText(QStringLiteral("Пуск"));
    }
}

void CReplayWindow::ExportGpx() {
    int pointCount = 0;
    for (const auto& track : tracks_) {
        pointCount += static_cast<int>(track->Points().size());
    }
    if (pointCount == 0) {
        Prompt::Message(this, QStringLiteral("Нет маршрутов для экспорта: нажмите «Показать»."),
                        kCaption, Prompt::Icon::Warning);
        return;
    }
    const QString path = Prompt::SaveFile(this, QStringLiteral("Файлы GPX (*.gpx)|*.gpx||"),
                                          QStringLiteral("route.gpx"), QString());
    if (path.isEmpty()) {
        return;
    }
    CGpxWriter writer;
    for (const auto& track : tracks_) {
        std::string name;
        for (const AddressBookEntry& entry : input_.objects) {
            if (entry.number == track->Number()) {
                name = entry.name;
                break;
            }
        }
        writer.AddTrack(track->Number(), name, track->Points());
    }
    std::string problem;
    if (!writer.Save(ToCp(path), problem)) {
        Prompt::Message(this, FromCp(problem), kCaption, Prompt::Icon::Stop);
    }
}
