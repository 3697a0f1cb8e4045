#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/AddressBookEntry.h"
#include "persist/TrackSource.h"
#include "replay/PeriodPicker.h"
#include "replay/ReplayPeriod.h"
#include "replay/VehicleChecklist.h"
#include "zones/ZoneMap.h"

class Clock;
class CReplayMapView;
class CReplayTrack;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTableWidget;

// "История движения": the routes of chosen vehicles over a period, read back from the
// track store, on the map's zones. A slider goes through the period (also played at
// x1 to x600) and moves each vehicle's mark to where it was; the zone visits of the
// period are listed under the map, and the routes shown can be saved as GPX. A period
// must start before it ends and last at most 31 days.
//
// The window works on copies taken when it opens (the address book's objects, the zones,
// the display offset) and never reads the console afterwards. The routes are read on a
// thread of the window's own, outside every lock of the program, and handed back to the
// window thread.
class CReplayWindow : public QDialog {
    Q_OBJECT
public:
    struct Input {
        std::vector<AddressBookEntry> objects;
        std::vector<ZoneRecord> zones;
        int32_t offsetMinutes = 0;
        // Checked when the window opens.
        std::vector<int32_t> chosen;
        // The base layer under the map, as the settings name it (empty: none).
        QString baseMapFile;
        QString baseMapUrl;
        QString tileCacheFolder;
    };
    // `source` may be null (no track store): nothing can be shown then.
    CReplayWindow(Input input, std::shared_ptr<TrackSource> source, const Clock& clock,
                  QWidget* owner = nullptr);
    ~CReplayWindow() override;

    // The play speeds offered, times real time.
    static constexpr int kSpeeds[] = {1, 10, 60, 600};
    // The longest period "Показать" reads, in days.
    static constexpr double kLongestPeriodDays = 31;
    // The window's size when it opens.
    static constexpr QSize kDefaultSize{1280, 720};

    QListWidget* Vehicles() const { return vehicles_; }
    QDateTimeEdit* FromEdit() const { return period_->FromEdit(); }
    QDateTimeEdit* ToEdit() const { return period_->ToEdit(); }
    QPushButton* LastHourButton() const { return period_->LastHourButton(); }
    QPushButton* TodayButton() const { return period_->TodayButton(); }
    QPushButton* YesterdayButton() const { return period_->YesterdayButton(); }
    QPushButton* ShowButton() const { return show_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* PlayButton() const { return play_; }
    QComboBox* SpeedBox() const { return speed_; }
    QSlider* Slider() const { return slider_; }
    QTableWidget* VisitTable() const { return visits_; }
    CReplayMapView* Map() const { return map_; }
    QLabel* MomentLabel() const { return moment_; }

    // The numbers of the vehicles checked, in the list's order.
    std::vector<int32_t> ChosenNumbers() const;
    // The period in the pickers, in display time.
    ReplayPeriod Period() const;
    void SetPeriod(const ReplayPeriod& period);
    // The routes shown (after "Показать" has been answered).
    const std::vector<std::unique_ptr<CReplayTrack>>& Tracks() const { return tracks_; }
    // The moment the slider stands at (UTC), and the period shown (UTC).
    DateTime SliderUtc() const;
    DateTime ShownFromUtc() const { return shownFrom_; }
    bool IsReading() const { return reading_; }
    bool IsPlaying() const { return timer_.isActive(); }

    // What "Показать" does: reads the routes of the checked vehicles over the period.
    void ShowRoutes();
    // "Экспорт в GPX...".
    void ExportGpx();

signals:
    // The routes asked for have been read and are shown (or a problem was reported).
    void routesShown();

private:
    struct ReadResult {
        int generation = 0;
        DateTime fromUtc;
        DateTime toUtc;
        std::vector<std::pair<int32_t, TrackSource::Read>> reads;
    };
    // The reading thread's answer, on the window's thread.
    Q_INVOKABLE void DeliverRoutes();
    void TakeRoutes(const ReadResult& result);
    void FillVisits();
    // Every column of the visits as wide as its contents but the last, which takes the
    // rest of the table's width.
    void SizeVisitColumns();
    void OnSlider(int seconds);
    void TogglePlay();
    void Tick();
    std::string TitleOf(int32_t number) const;

    Input input_;
    std::shared_ptr<TrackSource> source_;
    const Clock& clock_;

    CVehicleChecklist* vehicles_;
    CPeriodPicker* period_;
    QPushButton* show_;
    QPushButton* export_;
    QPushButton* play_;
    QComboBox* speed_;
    QSlider* slider_;
    QLabel* moment_;
    QTableWidget* visits_;
    CReplayMapView* map_;

    std::vector<std::unique_ptr<CReplayTrack>> tracks_;
    DateTime shownFrom_;
    // Each "Показать" is numbered: an answer to an older one is dropped.
    int generation_ = 0;
    bool reading_ = false;
    std::thread reader_;
    std::mutex readMutex_;
    std::optional<ReadResult> ready_;
    QTimer timer_;
    QElapsedTimer sinceTick_;
    // Where the play stands, in seconds from the period's start (the slider's value,
    // with the fraction the slider cannot hold).
    double playSeconds_ = 0;
    bool ticking_ = false;
};
