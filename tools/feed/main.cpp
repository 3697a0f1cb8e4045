// sentrel-feed: writes inbox files as the terminal system does, for demonstrations and
// load tests of the console.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "InboxFeed.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: sentrel-feed --inbox DIR [options]\n"
        "Writes inbox message files (DDHHMMSS.NNN, 80-byte records) for Sentrel.\n"
        "\n"
        "  --inbox DIR               inbox folder to write into (created if missing)\n"
        "  --addrbook FILE           address book (AddrBook.txt); its objects are fed\n"
        "  --zones FILE              zone file (maps.mrk); objects travel from zone\n"
        "                            centre to zone centre, entering and leaving zones\n"
        "  --objects N               first N objects of the address book, or objects\n"
        "                            1..N without one (default 10)\n"
        "  --rate N                  records per second, all objects together (default 5)\n"
        "  --duration SEC            stop after SEC seconds\n"
        "  --count N                 stop after N records\n"
        "  --seed N                  random seed (default 1)\n"
        "  --utc-offset-minutes M    message stamps = local receipt time + M minutes\n"
        "                            (default: the system's UTC offset)\n"
        "  --log FILE                append one line per record written:\n"
        "                            file name TAB object number TAB text\n"
        "  --max-backlog N           pause while more than N files wait unread\n"
        "                            (default 2000)\n"
        "  --routes DIR              program folder whose SntSpec.dat gives routes:\n"
        "                            each object starts a little outside its first\n"
        "                            assigned zone and tours its destination and\n"
        "                            forbidden zones in turn, standing a few fixes at\n"
        "                            each (needs --addrbook and --zones)\n"
        "  --step-metres M           metres between two fixes of an object (default 250)\n"
        "  --alarm-percent P         share of alarm records (default 3)\n"
        "  --power-on-percent P      share of power-on fixes (default 4)\n"
        "  --silent-after N:SEC      object number N stops reporting SEC seconds after\n"
        "                            the first record (repeatable)\n"
        "  --help                    this text\n"
        "\n"
        "Without --duration and --count the feed runs until it is interrupted.\n"
        "Records: fresh fixes (\"Свежее\"), older fixes, power-ons (\" PU \"), alarms\n"
        "(flag 0x2, no position) and sensor inputs (\"Входы: 1 0 1 1 0\", no position).\n",
        to);
}

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// "N:SEC": object number N falls silent SEC seconds after the first record.
bool ParseSilence(const char* text, FeedOptions& options) {
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr)
        return false;
    double number = 0;
    double seconds = 0;
    if (!ParseNumber(std::string(text, colon).c_str(), number) ||
        !ParseNumber(colon + 1, seconds) || number < 0 || seconds < 0)
        return false;
    options.silentAfter.emplace_back(static_cast<int32_t>(number), seconds);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    FeedOptions options;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (k + 1 >= argc) {
            std::fprintf(stderr, "sentrel-feed: %s needs a value\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        }
        const char* value = argv[++k];
        double number = 0;
        const bool numeric = ParseNumber(value, number);
        if (arg == "--inbox") {
            options.inboxFolder = value;
        } else if (arg == "--addrbook") {
            // Files read through the program's own loaders take its path texts.
            options.addressBook = Platform::FromNativePath(value);
        } else if (arg == "--zones") {
            options.zoneFile = Platform::FromNativePath(value);
        } else if (arg == "--log") {
            options.logPath = value;
        } else if (numeric && arg == "--rate" && number > 0) {
            options.rate = number;
        } else if (numeric && arg == "--duration" && number >= 0) {
            options.durationSeconds = number;
        } else if (numeric && arg == "--count" && number >= 0) {
            options.count = static_cast<int64_t>(number);
        } else if (numeric && arg == "--objects" && number >= 1) {
            options.objects = static_cast<int>(number);
        } else if (numeric && arg == "--seed") {
            options.seed = static_cast<uint32_t>(number);
        } else if (numeric && arg == "--utc-offset-minutes") {
            options.utcOffsetMinutes = static_cast<int>(number);
        } else if (numeric && arg == "--max-backlog" && number >= 1) {
            options.maxBacklog = static_cast<int>(number);
        } else if (arg == "--routes") {
            options.routesFolder = Platform::FromNativePath(value);
        } else if (numeric && arg == "--step-metres" && number > 0) {
            options.stepMetres = number;
        } else if (numeric && arg == "--alarm-percent" && number >= 0 && number <= 40 &&
                   number == static_cast<int>(number)) {
            options.alarmPercent = static_cast<int>(number);
        } else if (numeric && arg == "--power-on-percent" && number >= 0 && number <= 40 &&
                   number == static_cast<int>(number)) {
            options.powerOnPercent = static_cast<int>(number);
        } else if (arg == "--silent-after" && ParseSilence(value, options)) {
            // taken
        } else {
            std::fprintf(stderr, "sentrel-feed: bad option %s %s\n", arg.c_str(), value);
            PrintUsage(stderr);
            return 2;
        }
    }
    if (options.inboxFolder.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    if (!options.utcOffsetMinutes)
        options.utcOffsetMinutes = Platform::CurrentTimeZoneBiasMinutes().value_or(0);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CInboxFeed feed(options);
    if (!feed.Prepare())
        return 1;

    using Steady = std::chrono::steady_clock;
    const auto interval = std::chrono::duration_cast<Steady::duration>(
        std::chrono::duration<double>(1.0 / options.rate));
    const auto started = Steady::now();
    auto scheduleStart = started;
    int64_t scheduled = 0;
    auto lastBacklogCheck = started - std::chrono::seconds(2);
    SystemClock clock;
    int failures = 0;

    while (stopRequested == 0) {
        if (options.count > 0 && feed.written() >= options.count)
            break;
        const auto now = Steady::now();
        if (options.durationSeconds > 0 &&
            now - started >= std::chrono::duration<double>(options.durationSeconds))
            break;
        if (now - lastBacklogCheck >= std::chrono::seconds(1)) {
            lastBacklogCheck = now;
            if (feed.Backlog() > options.maxBacklog) {
                // Nobody reads the inbox: wait rather than fill the disk.
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                scheduleStart = Steady::now();
                scheduled = 0;
                continue;
            }
        }
        auto due = scheduleStart + interval * scheduled;
        if (now - due > std::chrono::seconds(1)) {
            // Far behind (a slow disk, a suspended process): do not burst to catch up.
            scheduleStart = now;
            scheduled = 0;
            due = now;
        }
        if (due > now) {
            // Short sleeps, so that a signal ends the feed promptly.
            std::this_thread::sleep_for(
                std::min<Steady::duration>(due - now, std::chrono::milliseconds(100)));
            continue;
        }
        ++scheduled;
        if (!feed.WriteNext(clock.Now())) {
            if (++failures % 100 == 1)
                std::fprintf(stderr, "sentrel-feed: a file could not be written to %s\n",
                             options.inboxFolder.c_str());
        }
    }
    std::printf("sentrel-feed: %lld records written\n", static_cast<long long>(feed.written()));
    return 0;
}
