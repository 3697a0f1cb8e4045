#include "persist/TrackRecorder.h"

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

void CTrackRecorder::Record(const std::vector<TrackPoint>& points,
                            std::vector<std::string>& entries, std::vector<std::string>& notices) {
    if (points.empty())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (failing_ && now - lastFailure_ < retryAfter_) {
        AddToGap(points);
        return;
    }
    const TrackSink::Written written = sink_.Append(points);
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
    if (written.ok) {
        if (gapOpen()) {
            entries.push_back(GapEntry());
            gapPoints_ = 0;
        }
        failing_ = false;
        return;
    }
    lastFailure_ = now;
    if (!failing_) {
        failing_ = true;
        entries.push_back(TextUtil::Format(
            W("%s %s Маршруты не записываются: %s. Прием сообщений продолжается\r\n").c_str(),
            logTime_().c_str(), sink_.Location().c_str(), written.problem.c_str()));
        notices.push_back(TextUtil::Format(
            W("Не удается записать маршруты в базу %s: %s. Прием сообщений продолжается, "
              "пропуск в маршрутах будет отмечен в журнале.")
                .c_str(),
            sink_.Location().c_str(), written.problem.c_str()));
    }
    AddToGap(points);
}

void CTrackRecorder::EndGap(std::vector<std::string>& entries) {
    if (!gapOpen())
        return;
    entries.push_back(GapEntry());
    gapPoints_ = 0;
    failing_ = false;
}
