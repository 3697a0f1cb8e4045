#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/AddressBookEntry.h"
#include "persist/AlertJournalSource.h"
#include "persist/ShiftReports.h"
#include "persist/TrackSource.h"
#include "replay/PeriodPicker.h"
#include "replay/ReplayPeriod.h"
#include "replay/VehicleChecklist.h"

class CJournalModel;
class CReportTask;
class Clock;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

// "Журнал оповещений": the alerts kept in the journal, newest first, in a table that reads
// them page by page (CJournalModel), filtered by a period (display time), vehicles, kinds
// and "только неподтверждённые"; a header click sorts. The shift reports are written from
// here: the alerts the filter leaves, and the zone visits and the mileage per day of the
// chosen vehicles over the period (all of them when none is chosen).
//
// Like the replay, it works on copies taken when it opens (the address book's objects,
// the display offset) and never reads the console; the journal and the routes are read
// off the window's thread.
class CJournalWindow : public QDialog {
    Q_OBJECT
public:
    struct Input {
        std::vector<AddressBookEntry> objects;
        int32_t offsetMinutes = 0;
        bool onlyUnacknowledged = false;
    };
    // Either source may be null (no store): the table stays empty, the reports say why.
    CJournalWindow(Input input, std::shared_ptr<AlertJournalSource> journal,
                   std::shared_ptr<TrackSource> tracks, const Clock& clock,
                   QWidget* owner = nullptr);
    ~CJournalWindow() override;

    // The filter the controls make (the store is asked in UTC: stamp = shown + offset).
    AlertJournalSource::Filter BuildFilter() const;
    // How often an open window looks for alerts raised or acknowledged since.
    static constexpr int kLookIntervalMs = 3000;
    // For the windows opened after it (tests that count the store's calls: 0, never).
    static void SetLookInterval(int ms);

    // Applies the controls' filter to the table.
    void ApplyFilter();
    // What the timer does: asks the model whether the journal changed. When it did, the
    // table shows it at once if the dispatcher is at its top with nothing selected;
    // otherwise the status line says so and "Обновить" shows it.
    void LookForChanges();
    void SetOnlyUnacknowledged(bool only);
    // The period in the pickers (display time); in force while "Период:" is ticked.
    ReplayPeriod Period() const;
    void SetPeriod(const ReplayPeriod& period);
    // The numbers of the vehicles checked, in the list's order.
    std::vector<int32_t> ChosenNumbers() const;

    // The buttons: "Экспорт в CSV...", "Посещения районов...", "Пробег по дням...".
    void ExportAlerts();
    void ExportVisits();
    void ExportMileage();

    CJournalModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    QCheckBox* PeriodBox() const { return periodBox_; }
    QDateTimeEdit* FromEdit() const { return period_->FromEdit(); }
    QDateTimeEdit* ToEdit() const { return period_->ToEdit(); }
    QPushButton* LastHourButton() const { return period_->LastHourButton(); }
    QPushButton* TodayButton() const { return period_->TodayButton(); }
    QPushButton* YesterdayButton() const { return period_->YesterdayButton(); }
    QListWidget* Vehicles() const { return vehicles_; }
    QCheckBox* KindBox(JournalKind kind) const;
    QCheckBox* UnacknowledgedBox() const { return unacknowledged_; }
    // "Обновить": the same filter read again (alerts raised or acknowledged since).
    QPushButton* RefreshButton() const { return refresh_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* VisitsButton() const { return visits_; }
    QPushButton* MileageButton() const { return mileage_; }
    QLabel* StatusLabel() const { return status_; }
    bool Writing() const;

signals:
    // A report was written (`problem` empty) or failed.
    void reportFinished(const QString& problem);

private:
    // Asks for the file and writes the report on the pool.
    void StartReport(const QString& defaultName,
                     std::function<std::string(const std::string& path)> write);
    // The vehicles of reports b and c: those chosen, or every one of the address book.
    std::vector<CShiftReports::Vehicle> ReportVehicles() const;
    bool CheckRoutePeriod();
    // Reports b and c: the chosen vehicles' routes over the period, written by `write`.
    using RouteReport = bool (*)(TrackSource&, const std::vector<CShiftReports::Vehicle>&, DateTime,
                                 DateTime, int32_t, const std::string&, std::string&);
    void ExportRoutes(const QString& defaultName, RouteReport write);
    void OnSettled();
    void OnChangesWaiting(qint64 total);
    void OnHeaderClicked(int column);

    Input input_;
    std::shared_ptr<AlertJournalSource> journal_;
    std::shared_ptr<TrackSource> tracks_;
    const Clock& clock_;

    CJournalModel* model_;
    CReportTask* task_;
    QTableView* table_;
    QCheckBox* periodBox_;
    CPeriodPicker* period_;
    CVehicleChecklist* vehicles_;
    std::array<QCheckBox*, kJournalKindCount> kinds_{};
    QCheckBox* unacknowledged_;
    QPushButton* refresh_;
    QPushButton* export_;
    QPushButton* visits_;
    QPushButton* mileage_;
    QLabel* status_;
    QString writtenPath_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
    bool building_ = true;
};
