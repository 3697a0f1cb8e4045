#include "persist/TrackRecorder.h"

#include <system_error>
#include <utility>

#include "base/Cp1251.h"
#include "base/TextUtil.h"

CTrackRecorder::CTrackRecorder(TrackSink& sink, std::function<std::string()> logTime,
                               std::chrono::milliseconds retryAfter, std::size_t maxHeldAlerts)
    : sink_(sink),
      logTime_(std::move(logTime)),
      retryAfter_(retryAfter),
      maxHeldAlerts_(maxHeldAlerts) {}

void CTrackRecorder::Lose(const JournalAlert& alert) {
    if (lostAlerts_ == 0 || alert.raisedUtc < lostFrom_)
        lostFrom_ = alert.raisedUtc;
    if (lostAlerts_ == 0 || alert.raisedUtc > lostTo_)
        lostTo_ = alert.raisedUtc;
    ++lostAlerts_;
}

void CTrackRecorder::Hold(JournalEntry entry) {
    if (const JournalAlert* alert = std::get_if<JournalAlert>(&entry)) {
        if (heldAlerts_ >= maxHeldAlerts_) {
            Lose(*alert);
            return;
        }
        ++heldAlerts_;
    }
    held_.push_back(std::move(entry));
}

std::string CTrackRecorder::LostAlertsEntry() const {
    return TextUtil::Format(
        W("%s %s Пропуск в журнале оповещений: не записано оповещений %lld, время (UTC) с %s "
          "по %s\r\n")
            .c_str(),
        logTime_().c_str(), sink_.Location().c_str(), static_cast<long long>(lostAlerts_),
        FormatLocaleDateTime(lostFrom_).c_str(), FormatLocaleDateTime(lostTo_).c_str());
}

void CTrackRecorder::CloseGaps(std::vector<std::string>& entries) {
    if (gapPoints_ > 0) {
        entries.push_back(GapEntry());
        gapPoints_ = 0;
    }
    if (lostAlerts_ > 0) {
        entries.push_back(LostAlertsEntry());
        lostAlerts_ = 0;
    }
    failing_ = false;
}

void CTrackRecorder::TookAll(std::vector<std::string>& entries) {
    held_.clear();
    heldAlerts_ = 0;
    CloseGaps(entries);
}

void CTrackRecorder::AddToGap(const std::vector<TrackPoint>& points) {
    for (const TrackPoint& p : points) {
        if (gapPoints_ == 0 || p.messageTime < gapFrom_)
            gapFrom_ = p.messageTime;
        if (gapPoints_ == 0 || p.messageTime > gapTo_)
            gapTo_ = p.messageTime;
        ++gapPoints_;
    }
}

std::string CTrackRecorder::GapEntry() const {
    return TextUtil::Format(
        W("%s %s Пропуск в маршрутах: не записано точек %lld, время сообщений (UTC) с %s "
          "по %s\r\n")
            .c_str(),
        logTime_().c_str(), sink_.Location().c_str(), static_cast<long long>(gapPoints_),
        FormatLocaleDateTime(gapFrom_).c_str(), FormatLocaleDateTime(gapTo_).c_str());
}

void CTrackRecorder::Begin(std::vector<TrackPoint> points, std::vector<JournalEntry> journal) {
    inFlight_ = std::move(points);
    for (JournalEntry& entry : journal)
        Hold(std::move(entry));
    attempted_ = false;
    if ((inFlight_.empty() && held_.empty()) ||
        (failing_ && std::chrono::steady_clock::now() - lastFailure_ < retryAfter_))
        return;
    attempted_ = true;
    // Neither vector changes before Finish has the answer.
    try {
        pending_ =
            std::async(std::launch::async, [this] { return sink_.Append(inFlight_, held_); });
    } catch (const std::system_error&) {
        // No thread to be had: written here, while the commit waits.
        std::promise<TrackSink::Written> done;
        done.set_value(sink_.Append(inFlight_, held_));
        pending_ = done.get_future();
    }
}

void CTrackRecorder::Finish(bool filesWritten, std::vector<TrackPoint>& back,
                            std::vector<std::string>& entries, std::vector<std::string>& notices) {
    if (!attempted_ && inFlight_.empty())
        return;
    TrackSink::Written written;
    if (attempted_) {
        written = pending_.get();
        if (!written.setAsidePath.empty()) {
            entries.push_back(TextUtil::Format(
                W("%s %s База маршрутов повреждена: она отложена под именем %s, начата новая\r\n")
                    .c_str(),
                logTime_().c_str(), sink_.Location().c_str(), written.setAsidePath.c_str()));
            notices.push_back(TextUtil::Format(
                W("База маршрутов %s повреждена. Она сохранена под именем %s, маршруты "
                  "записываются в новую базу.")
                    .c_str(),
                sink_.Location().c_str(), written.setAsidePath.c_str()));
        }
        if (!written.ok) {
            lastFailure_ = std::chrono::steady_clock::now();
            if (!failing_) {
                failing_ = true;
                entries.push_back(TextUtil::Format(
                    W("%s %s Маршруты не записываются: %s. Прием сообщений продолжается\r\n")
                        .c_str(),
                    logTime_().c_str(), sink_.Location().c_str(), written.problem.c_str()));
                notices.push_back(TextUtil::Format(
                    W("Не удается записать маршруты в базу %s: %s. Прием сообщений "
                      "продолжается, пропуск в маршрутах будет отмечен в журнале.")
                        .c_str(),
                    sink_.Location().c_str(), written.problem.c_str()));
            }
        }
    }
    attempted_ = false;
    if (written.ok) {
        TookAll(entries);
    } else if (inFlight_.empty()) {
        // Only the journal's entries were offered: they stay held.
    } else if (!filesWritten) {
        // The commit is tried again with its records: their points go with it.
        back = std::move(inFlight_);
    } else {
        AddToGap(inFlight_);
    }
    inFlight_.clear();
}

void CTrackRecorder::EndGap(std::vector<std::string>& entries) {
    if (!held_.empty() && sink_.Append({}, held_).ok) {
        TookAll(entries);
        return;
    }
    // Nothing more comes this run: what is still held is given up, and said so.
    for (const JournalEntry& entry : held_) {
        if (const JournalAlert* alert = std::get_if<JournalAlert>(&entry))
            Lose(*alert);
    }
    held_.clear();
    heldAlerts_ = 0;
    CloseGaps(entries);
}
