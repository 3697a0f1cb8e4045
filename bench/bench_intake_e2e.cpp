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
//                    [--tracks off|on|both] [--rounds N] [--backlog 0|1]
//
// --tracks on keeps every position in the track store (SntTracks.db, as the program
// does); both alternates runs without and with it, --rounds times each, in fresh program
// folders, and ends with the median records per second of each and their ratio.
//
// --backlog 1 writes every file before the workers start and measures from their start:
// the intake's own capacity, with no writer of files competing for the disk and the CPU.
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
#ifdef SENTREL_BENCH_TRACKS
#include <sqlite3.h>

#include "SqliteTrackStore.h"
#endif

namespace {

using Steady = std::chrono::steady_clock;

struct Options {
    int files = 10000;
    int objects = 500;
    double rate = 0;  // files per second, 0 = as fast as possible
    int timerMs = 1000;
    int zones = 50;
    int tracks = 0;  // 0 off, 1 on, 2 both
    int rounds = 1;
    bool backlog = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string arg = argv[k];
        const std::string value = argv[k + 1];
        const double v = std::atof(argv[k + 1]);
        if (arg == "--tracks" && (value == "off" || value == "on" || value == "both"))
            o.tracks = value == "off" ? 0 : value == "on" ? 1 : 2;
        else if (arg == "--rounds" && v >= 1)
            o.rounds = static_cast<int>(v);
        else if (arg == "--backlog" && (value == "0" || value == "1"))
            o.backlog = value == "1";
        else if (arg == "--files" && v >= 1)
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

struct Run {
    bool ok = false;
    double recordsPerSecond = 0;
};

Run RunOnce(const Options& options, bool tracks) {
    SystemClock clock;
    bench::ConsoleRig rig(options.objects, options.zones, clock, [&](CConsole& console) {
#ifdef SENTREL_BENCH_TRACKS
        if (tracks)
            console.AttachTrackSink(std::make_unique<CSqliteTrackStore>(console.paths.tracksPath));
#else
        (void)console;
#endif
    });
    CConsole& console = *rig.console;
    const CZoneMap& zones = *console.zoneMap;
    console.settings.timer = options.timerMs;
    std::printf("program folder %s (%s)\n", rig.folder.path().c_str(), bench::BenchRoot().c_str());
    std::printf("%d files, %d shown objects, %d zones, rate %s, Timer %d ms, track store %s\n",
                options.files, options.objects, options.zones,
                options.rate > 0 ? TextUtil::Format("%.0f/s", options.rate).c_str() : "flood",
                options.timerMs, tracks ? "on" : "off");
    std::fflush(stdout);

    bench::DeletionWatch watch(rig.inbox);
    if (!options.backlog)
        console.StartWorkers();

    // Every object stays in one zone with some jitter and moves to the next zone with
    // every fifth record: a fifth of the records change zones.
    std::map<std::string, Steady::time_point> arrivals;
    const std::string temporary = rig.inbox + "/~bench.tmp";
    Steady::time_point start = Steady::now();
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
                std::exit(1);
            }
            std::fclose(out);
        }
        if (std::rename(temporary.c_str(), (rig.inbox + "/" + name).c_str()) != 0) {
            std::perror("rename");
            std::exit(1);
        }
        arrivals[name] = Steady::now();
    }
    Steady::time_point written = Steady::now();
    if (options.backlog) {
        // The whole inbox is there before the workers start: the drain measures the
        // intake alone, without the writer of the files beside it.
        console.StartWorkers();
        start = written = Steady::now();
        for (auto& [name, arrived] : arrivals)
            arrived = start;
    }
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
        return {};
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
#ifdef SENTREL_BENCH_TRACKS
    if (tracks) {
        // The store's own count, read as any SQLite tool would.
        sqlite3* db = nullptr;
        sqlite3_stmt* count = nullptr;
        if (sqlite3_open_v2(rig.paths.tracksPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
                SQLITE_OK &&
            sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM points", -1, &count, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW)
            std::printf("points in the track store    %lld\n",
                        static_cast<long long>(sqlite3_column_int64(count, 0)));
        sqlite3_finalize(count);
        sqlite3_close(db);
    }
#endif
    std::fflush(stdout);
    Run run;
    run.ok = processed == static_cast<std::size_t>(options.files);
    run.recordsPerSecond = latencies.size() / total;
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: bench_intake_e2e [--files N] [--objects N] [--rate R] [--timer MS]"
                     " [--zones N] [--tracks off|on|both] [--rounds N] [--backlog 0|1]\n");
        return 2;
    }
#ifndef SENTREL_BENCH_TRACKS
    if (options.tracks != 0) {
        std::fprintf(stderr, "built without the track store (SENTREL_WITH_TRACKS=OFF)\n");
        return 2;
    }
#endif
    std::vector<double> off;
    std::vector<double> on;
    bool ok = true;
    for (int round = 0; round < options.rounds; ++round) {
        for (int tracks = 0; tracks <= 1; ++tracks) {
            if ((options.tracks == 0 && tracks == 1) || (options.tracks == 1 && tracks == 0))
                continue;
            std::printf("\n--- round %d, track store %s\n", round + 1, tracks ? "on" : "off");
            const Run run = RunOnce(options, tracks == 1);
            ok = ok && run.ok;
            (tracks ? on : off).push_back(run.recordsPerSecond);
        }
    }
    if (!off.empty() && !on.empty()) {
        std::printf("\nmedian records per second: track store off %.1f, on %.1f (%.1f %% of off)\n",
                    Median(off), Median(on), 100.0 * Median(on) / Median(off));
    }
    return ok ? 0 : 1;
}
