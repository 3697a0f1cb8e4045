#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/AlertJournalSource.h"
#include "persist/JournalAlert.h"
#include "persist/TrackPoint.h"
#include "persist/TrackSource.h"

// The reports a dispatcher hands over at the end of a shift, as CSV tables (CCsvTable):
// the alerts of the journal, the zone visits of chosen vehicles and their mileage per
// day. Every time is shown with the program's display offset (shown = stamp - offset
// minutes), as the list shows the message stamps. Safe to run on any thread: they read
// only through the sources given and write only the file named.
class CShiftReports {
public:
    struct Vehicle {
        int32_t number = 0;
        std::string name;  // Windows-1251, as the address book gives it
    };
    // The alerts are read in pages of this many rows.
    static constexpr int kAlertPage = 1000;
    // A step between two points that would need more than this speed is a wrong position,
    // not a drive: it is left out of the mileage.
    static constexpr double kMaxPlausibleKmh = 300;

    // The alerts the filter leaves, oldest first: Время; Объект; Название; Событие;
    // Район; Текст; Подтверждено; Кто подтвердил; Время реакции. Streamed page by page:
    // the rows are never in memory together.
    static bool WriteAlerts(AlertJournalSource& source, const AlertJournalSource::Filter& filter,
                            int32_t offsetMinutes, const std::string& path, std::string& problem,
                            int64_t* rowsWritten = nullptr);
    // The zone visits of each vehicle in the period (UTC, from <= t < to), vehicle by
    // vehicle, oldest first: Объект; Название; Район; Прибытие; Убытие; Длительность.
    static bool WriteVisits(TrackSource& source, const std::vector<Vehicle>& vehicles,
                            DateTime fromUtc, DateTime toUtc, int32_t offsetMinutes,
                            const std::string& path, std::string& problem);
    // Each vehicle's mileage per day of display time in the period: Объект; Название;
    // Дата; Пробег, км; Точек. Days without points are left out.
    static bool WriteMileage(TrackSource& source, const std::vector<Vehicle>& vehicles,
                             DateTime fromUtc, DateTime toUtc, int32_t offsetMinutes,
                             const std::string& path, std::string& problem);

    struct DayMileage {
        DateTime day;  // midnight, display time
        double metres = 0;
        int points = 0;
    };
    // The distance driven on each day (display time) by the points, in time order.
    static std::vector<DayMileage> MileageByDay(const std::vector<TrackPoint>& points,
                                                int32_t offsetMinutes);

    // "Тревога", "Включение контроллера", ... (Windows-1251).
    static std::string KindText(JournalKind kind);
    // Time from the alert to its acknowledgement, "00:03:15"; empty when not acknowledged.
    static std::string ReactionText(const JournalAlert& alert);
};
