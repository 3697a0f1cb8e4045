#include "persist/TrackRecorder.h"

#include <system_error>
#include <utility>

#include "base/Cp1251.h"
#include "base/TextUtil.h"

CTrackRecorder::CTrackRecorder(TrackSink& sink, std::function<std::string()> logTime,
                               std::chrono::milliseconds retryAfter)
    : sink_(sink), logTime_(std::move(logTime)), retryAfter_(retryAfter) {}

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

void CTrackRecorder::Begin(std::vector<TrackPoint> points) {
    inFlight_ = std::move(points);
    attempted_ = false;
    if (inFlight_.empty() ||
        (failing_ && std::chrono::steady_clock::now() - lastFailure_ < retryAfter_))
        return;
    attempted_ = true;
    try {
        pending_ = std::async(std::launch::async, [this] { return sink_.Append(inFlight_); });
    } catch (const std::system_error&) {
        // No thread to be had: written here, while the commit waits.
        std::promise<TrackSink::Written> done;
        done.set_value(sink_.Append(inFlight_));
        pending_ = done.get_future();
    }
}

void CTrackRecorder::Finish(bool filesWritten, std::vector<TrackPoint>& back,
                            std::vector<std::string>& entries, std::vector<std::string>& notices) {
    if (inFlight_.empty())
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
    if (written.ok) {
        if (gapOpen()) {
            entries.push_back(GapEntry());
            gapPoints_ = 0;
        }
        failing_ = false;
    } else if (!filesWritten) {
        // The commit is tried again with its records: their points go with it.
        back = std::move(inFlight_);
    } else {
        AddToGap(inFlight_);
    }
    inFlight_.clear();
}

void CTrackRecorder::EndGap(std::vector<std::string>& entries) {
    if (!gapOpen())
        return;
    entries.push_back(GapEntry());
    gapPoints_ = 0;
    failing_ = false;
}
