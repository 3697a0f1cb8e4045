#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/DateTime.h"
#include "zones/ZoneMap.h"

// What the feed writes and where.
struct FeedOptions {
    std::string inboxFolder;
    std::string addressBook;     // empty: synthetic object numbers 1..objects
    std::string zoneFile;        // empty: a random walk around one point
    double rate = 5;             // records per second, all objects together
    double durationSeconds = 0;  // 0: no limit
    int64_t count = 0;           // 0: no limit
    int objects = 10;
    uint32_t seed = 1;
    std::optional<int> utcOffsetMinutes;  // message stamp = local time + this
    std::string logPath;                  // one line per record written
    int maxBacklog = 2000;                // pause while more files wait in the inbox
    // Program folder whose SntSpec.dat gives routes: each object travels between its
    // assigned zones instead of random ones. Empty: random legs.
    std::string routesFolder;
    double stepMetres = 250;  // distance between two fixes of an object
    int alarmPercent = 3;     // share of alarm records
    int powerOnPercent = 4;   // share of power-on fixes
    // Objects that stop reporting: (object number, seconds after the first record).
    std::vector<std::pair<int32_t, double>> silentAfter;
};

// Plays the terminal system: moves objects from zone centre to zone centre and drops
// their messages into the inbox as the terminal does, one file per record.
class CInboxFeed {
public:
    explicit CInboxFeed(FeedOptions options);
    ~CInboxFeed();
    CInboxFeed(const CInboxFeed&) = delete;
    CInboxFeed& operator=(const CInboxFeed&) = delete;

    // Reads the address book and the zone file, creates the inbox folder, opens the log.
    // False (with a message on stderr) when something needed is missing.
    bool Prepare();
    // Writes the next record of the next object that still reports. False when the file
    // could not be written (the record is then not logged). When every object has
    // fallen silent nothing is written and the result is true.
    bool WriteNext(DateTime localNow);
    // Number of message files (not temporary ones) waiting in the inbox.
    int Backlog() const;
    int64_t written() const { return written_; }

private:
    struct Mover {
        int32_t number = 0;
        double latitude = 0;
        double longitude = 0;
        double fromLatitude = 0;
        double fromLongitude = 0;
        double toLatitude = 0;
        double toLongitude = 0;
        int step = 0;
        int steps = 1;
        // Route mode: the zones to visit in turn, the next one, and the fixes still to
        // stand at the zone just reached.
        std::vector<int> route;
        std::size_t routeNext = 0;
        int dwell = 0;
        double silentAfterSeconds = -1;  // < 0: never falls silent
    };

    // Chooses where the object goes next; at the start it is first put at a random place.
    void PickNextLeg(Mover& m, bool atStart);
    // The same along the object's route: it starts a short way outside its first zone,
    // so that its first arrival comes within the first minute or so.
    void PickNextRouteLeg(Mover& m, bool atStart);
    void StartLeg(Mover& m, int maxSteps);
    // Moves the object one fix along its leg; false while it stands at a zone.
    bool Advance(Mover& m);
    std::string BuildText(int kind, int64_t sequence);
    bool WriteFile(const std::string& bytes, int32_t number, DateTime localNow,
                   std::string& fileName);

    FeedOptions options_;
    std::vector<Mover> movers_;
    CZoneMap zones_;
    std::mt19937 random_;
    std::FILE* log_ = nullptr;
    std::size_t next_ = 0;
    int64_t written_ = 0;
    std::optional<DateTime> firstWrite_;
};
