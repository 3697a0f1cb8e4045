// End-to-end intake: message files dropped into the inbox of a console that runs its
// real inbox and refresh workers, drained as in production, one position record per
// file. Reports records per second, the time from a file's arrival to its deletion
// (mean, median, 99th percentile, maximum) and the peak memory of the process.
//
// Arrival is the moment the file appears under its final name (it is written under a
// temporary name and renamed, as the terminal system's files must appear whole).
// Deletion is seen through inotify; the console deletes a file only after the state
// that includes its record has been saved, so the deletion time is the time the state
// was on disk (plus the unlink itself).
//
//   bench_intake_e2e [--files N] [--objects N] [--rate R] [--timer MS] [--zones N]
//
// --rate 0 (the default) drops the files as fast as they can be written: a flood that
// measures the console's capacity; its latencies are mostly queueing. A rate below
// that capacity gives the latency of a steady load. The program folder is created under
// $SENTREL_BENCH_DIR (default /tmp).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "DeletionWatch.h"

namespace {

using Steady = std::chrono::steady_clock;

struct Options {
    int files = 10000;
    int objects = 500;
    double rate = 0;  // files per second, 0 = as fast as possible
    int timerMs = 1000;
    int zones = 50;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string arg = argv[k];
        const double v = std::atof(argv[k + 1]);
        if (arg == "--files" && v >= 1)
            o.files = static_cast<int>(v);
        else if (arg == "--objects" && v >= 1 && v <= 9999)
            o.objects = static_cast<int>(v);
        else if (arg == "--rate" && v >= 0)
            o.rate = v;
        else if (arg == "--timer" && v >= 0)
            o.timerMs = static_cast<int>(v);
        else if (arg == "--zones" && v >= 2)
            o.zones = static_cast<int>(v);
        else
            return false;
    }
    return argc % 2 == 1;
}

double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: bench_intake_e2e [--files N] [--objects N] [--rate R] [--timer MS]"
                     " [--zones N]\n");
        return 2;
    }
    SystemClock clock;
    bench::ConsoleRig rig(options.objects, options.zones, clock);
    CConsole& console = *rig.console;
    const CZoneMap& zones = *console.zoneMap;
    console.settings.timer = options.timerMs;
    std::printf("program folder %s (%s)\n", rig.folder.path().c_str(), bench::BenchRoot().c_str());
    std::printf("%d files, %d shown objects, %d zones, rate %s, Timer %d ms\n", options.files,
                options.objects, options.zones,
                options.rate > 0 ? TextUtil::Format("%.0f/s", options.rate).c_str() : "flood",
                options.timerMs);
    std::fflush(stdout);

    bench::DeletionWatch watch(rig.inbox);
    console.StartWorkers();

    // Every object stays in one zone with some jitter and moves to the next zone with
    // every fifth record: a fifth of the records change zones.
    std::map<std::string, Steady::time_point> arrivals;
    const std::string temporary = rig.inbox + "/~bench.tmp";
    const Steady::time_point start = Steady::now();
    const DateTime firstStamp = clock.Now();
    for (int k = 0; k < options.files; ++k) {
        if (options.rate > 0) {
            const auto due = start + std::chrono::duration_cast<Steady::duration>(
                                         std::chrono::duration<double>(k / options.rate));
            std::this_thread::sleep_until(due);
        }
        const int number = k % options.objects + 1;
        const int sequence = k / options.objects;
        const int zone = (number + sequence / 5) % zones.ZoneCount();
        const double jitter = 1e-6 * (sequence % 5);
        const DateTime stamp = firstStamp.AddDays(sequence / 86400.0);
        const InboxRecord r = bench::PositionRecord(number, zones.Zone(zone).latitude + jitter,
                                                    zones.Zone(zone).longitude, stamp);
        // Names are unique per object: the sequence number in the time fields.
        const std::string name =
            TextUtil::Format("%02d%02d%02d%02d.%03d", 1 + sequence / 86400, sequence / 3600 % 24,
                             sequence / 60 % 60, sequence % 60, number);
        // Written plainly, without a sync, as the terminal system writes its files.
        {
            const std::string bytes = EncodeInboxRecord(r.header, r.text);
            std::FILE* out = std::fopen(temporary.c_str(), "wb");
            if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
                std::perror(temporary.c_str());
                return 1;
            }
            std::fclose(out);
        }
        if (std::rename(temporary.c_str(), (rig.inbox + "/" + name).c_str()) != 0) {
            std::perror("rename");
            return 1;
        }
        arrivals[name] = Steady::now();
    }
    const Steady::time_point written = Steady::now();
    std::printf("written in %.1f s\n", Ms(written - start) / 1000.0);
    std::fflush(stdout);

    // Wait for the inbox to drain, with a progress line now and then.
    const auto deadline = Steady::now() + std::chrono::minutes(30);
    auto nextReport = Steady::now() + std::chrono::seconds(15);
    while (watch.Count() < static_cast<std::size_t>(options.files) && Steady::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Steady::now() >= nextReport) {
            nextReport += std::chrono::seconds(15);
            std::fprintf(stderr, "  %zu of %d drained after %.0f s\n", watch.Count(), options.files,
                         Ms(Steady::now() - start) / 1000.0);
        }
    }
    console.StopWorkers();
    console.WaitForWorkers();

    const auto deletions = watch.Times();
    std::vector<double> latencies;
    Steady::time_point firstDeletion = Steady::time_point::max();
    Steady::time_point lastDeletion = Steady::time_point::min();
    for (const auto& [name, arrived] : arrivals) {
        const auto found = deletions.find(name);
        if (found == deletions.end())
            continue;
        latencies.push_back(Ms(found->second - arrived));
        firstDeletion = std::min(firstDeletion, found->second);
        lastDeletion = std::max(lastDeletion, found->second);
    }
    if (latencies.size() != arrivals.size()) {
        std::printf("only %zu of %zu files were taken in%s\n", latencies.size(), arrivals.size(),
                    watch.overflowed() ? " (inotify queue overflowed)" : "");
    }
    if (latencies.empty())
        return 1;
    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) {
        const std::size_t at =
            std::min(latencies.size() - 1, static_cast<std::size_t>(p / 100.0 * latencies.size()));
        return latencies[at];
    };
    const double mean = std::accumulate(latencies.begin(), latencies.end(), 0.0) / latencies.size();
    const double total = Ms(lastDeletion - start) / 1000.0;
    const double drain = Ms(lastDeletion - firstDeletion) / 1000.0;

    // Every record must have reached the log as processed.
    std::string log;
    FileSystem::ReadWholeFile(rig.paths.logPath, log);
    std::size_t processed = 0;
    const std::string marker = W("Обрабатывалось");
    for (std::size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1))
        ++processed;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("records processed (log)      %zu\n", processed);
    std::printf("records per second           %.1f  (first arrival to last deletion, %.1f s)\n",
                latencies.size() / total, total);
    std::printf("drain rate                   %.1f  (first to last deletion, %.1f s)\n",
                latencies.size() / std::max(drain, 1e-9), drain);
    std::printf(
        "arrival -> saved and deleted mean %.1f ms, median %.1f ms, p99 %.1f ms, max %.1f ms\n",
        mean, percentile(50), percentile(99), latencies.back());
    std::printf("peak memory (ru_maxrss)      %ld KiB\n", usage.ru_maxrss);
    return processed == static_cast<std::size_t>(options.files) ? 0 : 1;
}
