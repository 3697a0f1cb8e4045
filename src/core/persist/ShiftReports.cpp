#include "persist/ShiftReports.h"

#include <cmath>

#include "base/Cp1251.h"
#include "persist/CsvTable.h"
#include "persist/TrackVisit.h"
#include "zones/Geometry.h"

namespace {

// The start of the day `t` lies in (not rounded to a second: 23:59:59.7 is still that day).
DateTime Midnight(const DateTime& t) {
    return DateTime::FromLinear(std::floor(t.Linear()));
}

bool UsablePosition(const TrackPoint& p) {
    return p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180;
}

std::string Utf8(const std::string& cp1251) {
    return Cp1251::ToUtf8(cp1251);
}

std::string ReadProblem(const CShiftReports::Vehicle& vehicle, const std::string& why) {
    return W("Маршрут объекта ") + std::to_string(vehicle.number) + W(" не прочитан: ") + why;
}

// Where one alert stands in the export's order (raised, then the row's number).
struct Key {
    DateTime raised;
    int64_t id = 0;
    bool After(const JournalAlert& a) const {
        return raised < a.raisedUtc || (raised == a.raisedUtc && id < a.id);
    }
};

}  // namespace

std::string CShiftReports::KindText(JournalKind kind) {
    switch (kind) {
        case JournalKind::Alarm:
            return W("Тревога");
        case JournalKind::PowerOn:
            return W("Включение контроллера");
        case JournalKind::DestinationArrival:
            return W("Прибытие в район назначения");
        case JournalKind::DestinationDeparture:
            return W("Убытие из района назначения");
        case JournalKind::ForbiddenArrival:
            return W("Прибытие в запрещенный район");
        case JournalKind::ForbiddenDeparture:
            return W("Убытие из запрещенного района");
    }
    return std::to_string(static_cast<int>(kind));
}

std::string CShiftReports::ReactionText(const JournalAlert& alert) {
    if (!alert.acknowledged || alert.acknowledgedUtc.IsNever() || alert.raisedUtc.IsNever()) {
        return {};
    }
    return CCsvTable::Span(alert.acknowledgedUtc - alert.raisedUtc);
}

bool CShiftReports::WriteAlerts(AlertJournalSource& source,
                                const AlertJournalSource::Filter& filter, int32_t offsetMinutes,
                                const std::string& path, std::string& problem,
                                int64_t* rowsWritten) {
    CCsvTable table(path, {"Время", "Объект", "Название", "Событие", "Район", "Текст",
                           "Подтверждено", "Кто подтвердил", "Время реакции"});
    // Paged by the time raised rather than by a growing offset, which a store has to
    // count through from the start each time: each page starts a millisecond before the
    // last row written, and the rows already written (ties of that time) are skipped.
    // Alerts raised meanwhile come after the last row and are taken too; only when a
    // whole page is rows already written (more ties than a page) does the offset grow.
    AlertJournalSource::Filter page = filter;
    int64_t offset = 0;
    bool anyWritten = false;
    Key last;
    for (;;) {
        const AlertJournalSource::Page read =
            source.Rows(page, AlertJournalSource::Order::Raised, false, offset, kAlertPage);
        if (!read.problem.empty()) {
            table.Abandon();
            problem = read.problem;
            return false;
        }
        int fresh = 0;
        for (const JournalAlert& a : read.rows) {
            if (anyWritten && !last.After(a)) {
                continue;
            }
            ++fresh;
            const bool ok = table.AddRow(
                {CCsvTable::ShownTime(a.raisedUtc, offsetMinutes), std::to_string(a.objectNumber),
                 Utf8(a.objectName), Utf8(KindText(a.kind)), Utf8(a.zoneName), Utf8(a.text),
                 a.acknowledged ? CCsvTable::ShownTime(a.acknowledgedUtc, offsetMinutes)
                                : std::string(),
                 a.acknowledged ? Utf8(a.acknowledgedAccount) : std::string(), ReactionText(a)});
            if (!ok) {
                return table.Finish(problem);  // reports the failure
            }
            last = {a.raisedUtc, a.id};
            anyWritten = true;
        }
        if (static_cast<int>(read.rows.size()) < kAlertPage) {
            break;
        }
        if (fresh == 0) {
            offset += static_cast<int64_t>(read.rows.size());
        } else {
            page.fromUtc = last.raised.AddDays(-1.0 / 86400000.0);
            if (!filter.fromUtc.IsNever() && page.fromUtc < filter.fromUtc) {
                page.fromUtc = filter.fromUtc;
            }
            offset = 0;
        }
    }
    if (rowsWritten != nullptr) {
        *rowsWritten = table.RowCount();
    }
    return table.Finish(problem);
}

bool CShiftReports::WriteVisits(TrackSource& source, const std::vector<Vehicle>& vehicles,
                                DateTime fromUtc, DateTime toUtc, int32_t offsetMinutes,
                                const std::string& path, std::string& problem) {
    CCsvTable table(path, {"Объект", "Название", "Район", "Прибытие", "Убытие", "Длительность"});
    for (const Vehicle& vehicle : vehicles) {
        // One vehicle's points at a time.
        const TrackSource::Read read = source.Points(vehicle.number, fromUtc, toUtc);
        if (!read.problem.empty()) {
            table.Abandon();
            problem = ReadProblem(vehicle, read.problem);
            return false;
        }
        for (const TrackVisit& visit : TrackVisit::FromPoints(read.points)) {
            // A vehicle still inside when the period ends has no departure; its stay is
            // counted up to its last point inside.
            const bool left = !visit.firstOutside.IsNever();
            const DateTime end = left ? visit.firstOutside : visit.lastInside;
            if (!table.AddRow({std::to_string(vehicle.number), Utf8(vehicle.name),
                               Utf8(visit.zoneName),
                               CCsvTable::ShownTime(visit.firstInside, offsetMinutes),
                               left ? CCsvTable::ShownTime(end, offsetMinutes) : std::string(),
                               CCsvTable::Span(end - visit.firstInside)})) {
                return table.Finish(problem);
            }
        }
    }
    return table.Finish(problem);
}

std::vector<CShiftReports::DayMileage> CShiftReports::MileageByDay(
    const std::vector<TrackPoint>& points, int32_t offsetMinutes) {
    // The distance of a day is the sum of the great-circle distances between its
    // consecutive points (the step over midnight belongs to neither day).
    // - A gap in the data (the terminal silent for a while) is bridged by the straight
    //   line between the fixes on either side: the least the vehicle must have driven.
    // - A step that would need more than kMaxPlausibleKmh (or any distance in no time) is
    //   a wrong position, not a drive, and is left out; the next step starts from the
    //   newer point, so one wrong fix costs the two steps around it and no more.
    std::vector<DayMileage> days;
    const TrackPoint* previous = nullptr;
    for (const TrackPoint& p : points) {
        const DateTime day = Midnight(p.messageTime.AddMinutes(-offsetMinutes));
        if (days.empty() || !(days.back().day == day)) {
            days.push_back({day, 0, 0});
            previous = nullptr;
        }
        DayMileage& today = days.back();
        ++today.points;
        if (!UsablePosition(p)) {
            continue;
        }
        if (previous != nullptr) {
            const double metres = GreatCircleDistance(previous->latitude, previous->longitude,
                                                      p.latitude, p.longitude);
            const double seconds = (p.messageTime - previous->messageTime) * 86400.0;
            const bool plausible =
                seconds > 0 ? metres / seconds * 3.6 <= kMaxPlausibleKmh : metres < 1.0;
            if (plausible) {
                today.metres += metres;
            }
        }
        previous = &p;
    }
    return days;
}

bool CShiftReports::WriteMileage(TrackSource& source, const std::vector<Vehicle>& vehicles,
                                 DateTime fromUtc, DateTime toUtc, int32_t offsetMinutes,
                                 const std::string& path, std::string& problem) {
    CCsvTable table(path, {"Объект", "Название", "Дата", "Пробег, км", "Точек"});
    for (const Vehicle& vehicle : vehicles) {
        // A day at a time: a month of a vehicle's points is never read at once.
        DateTime dayShown = Midnight(fromUtc.AddMinutes(-offsetMinutes));
        while (dayShown.AddMinutes(offsetMinutes) < toUtc) {
            const DateTime nextShown = Midnight(dayShown.AddDays(1.5));
            DateTime from = dayShown.AddMinutes(offsetMinutes);
            DateTime to = nextShown.AddMinutes(offsetMinutes);
            if (from < fromUtc) {
                from = fromUtc;
            }
            if (toUtc < to) {
                to = toUtc;
            }
            const TrackSource::Read read = source.Points(vehicle.number, from, to);
            if (!read.problem.empty()) {
                table.Abandon();
                problem = ReadProblem(vehicle, read.problem);
                return false;
            }
            // Every point read belongs to this day (a stamp a rounding away from midnight
            // included): one row.
            DayMileage total{dayShown, 0, 0};
            for (const DayMileage& day : MileageByDay(read.points, offsetMinutes)) {
                total.metres += day.metres;
                total.points += day.points;
            }
            if (total.points > 0 &&
                !table.AddRow(
                    {std::to_string(vehicle.number), Utf8(vehicle.name), CCsvTable::Date(total.day),
                     CCsvTable::Decimal(total.metres / 1000, 2), std::to_string(total.points)})) {
                return table.Finish(problem);
            }
            dayShown = nextShown;
        }
    }
    return table.Finish(problem);
}
