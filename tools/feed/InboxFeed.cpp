#include "InboxFeed.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "model/InboxFile.h"
#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"
#include "zones/Geometry.h"

namespace fs = std::filesystem;

namespace {

// Without a zone file the objects wander around this point.
constexpr double kHomeLatitude = 55.75;
constexpr double kHomeLongitude = 37.62;
// Random legs are cut into at most this many fixes (of --step-metres, 250 m by default,
// so that zones of a few hundred metres are entered and left by several fixes).
constexpr int kMaxStepsPerLeg = 80;
// Routes keep their step length however long the leg is.
constexpr int kMaxStepsPerRouteLeg = 100000;
constexpr double kMetresPerDegree = 111195.0;
constexpr double kRadians = 0.017453292519943295;

enum RecordKind { kPosition, kStalePosition, kPowerOn, kAlarm, kInputs };

}  // namespace

CInboxFeed::CInboxFeed(FeedOptions options) : options_(std::move(options)), random_(options_.seed) {
    while (options_.inboxFolder.size() > 1 && options_.inboxFolder.back() == '/')
        options_.inboxFolder.pop_back();
}

CInboxFeed::~CInboxFeed() {
    if (log_ != nullptr)
        std::fclose(log_);
}

bool CInboxFeed::Prepare() {
    std::error_code error;
    fs::create_directories(options_.inboxFolder, error);
    if (!fs::is_directory(options_.inboxFolder)) {
        std::fprintf(stderr, "sentrel-feed: cannot use the inbox folder %s\n",
                     options_.inboxFolder.c_str());
        return false;
    }
    std::vector<int32_t> numbers;
    if (!options_.addressBook.empty()) {
        CDataStore book("");
        book.LoadAddressBook(options_.addressBook);
        if (book.objectCount == 0) {
            std::fprintf(stderr, "sentrel-feed: no object in the address book %s\n",
                         options_.addressBook.c_str());
            return false;
        }
        for (int i = 0; i < book.objectCount && static_cast<int>(numbers.size()) < options_.objects;
             ++i)
            numbers.push_back(book.Object(i).Number());
    } else {
        for (int k = 1; k <= options_.objects; ++k)
            numbers.push_back(k);
    }
    if (!options_.zoneFile.empty() && !zones_.Load(options_.zoneFile)) {
        std::fprintf(stderr, "sentrel-feed: cannot read the zone file %s\n",
                     options_.zoneFile.c_str());
        return false;
    }
    if (!options_.logPath.empty()) {
        log_ = std::fopen(options_.logPath.c_str(), "ab");
        if (log_ == nullptr) {
            std::fprintf(stderr, "sentrel-feed: cannot open the log %s\n",
                         options_.logPath.c_str());
            return false;
        }
    }
    std::map<int32_t, std::vector<int>> routes;
    if (!options_.routesFolder.empty()) {
        if (options_.addressBook.empty() || options_.zoneFile.empty()) {
            std::fprintf(stderr, "sentrel-feed: --routes needs --addrbook and --zones\n");
            return false;
        }
        // The file is read in its own order (the console's loader reorders the
        // assignments by zone index): the tour follows the lines as they stand.
        // Zone names are looked up in our own copy of the map.
        std::string bytes;
        if (!FileSystem::ReadWholeFile(
                options_.routesFolder + "/" + CDataStore::kZoneAssignmentsFile, bytes)) {
            std::fprintf(stderr, "sentrel-feed: cannot read %s/%s\n", options_.routesFolder.c_str(),
                         CDataStore::kZoneAssignmentsFile);
            return false;
        }
        std::map<int32_t, std::pair<std::vector<int>, std::vector<int>>> assigned;
        std::vector<int>* list = nullptr;
        for (const std::string& line : TextUtil::SplitLines(bytes)) {
            const std::size_t equals = line.find('=');
            if (!line.empty() && line[0] == '[') {
                list = nullptr;
                if (equals == std::string::npos || line.size() < equals + 3)
                    continue;
                const int32_t number =
                    TextUtil::LeadingInt(std::string_view(line).substr(equals + 1));
                auto& lists = assigned[number];
                list = line[line.size() - 2] == '+' ? &lists.first : &lists.second;
            } else if (list != nullptr) {
                const int zone = zones_.FindZoneByName(line);
                if (zone >= 0)
                    list->push_back(zone);
            }
        }
        for (const auto& [number, lists] : assigned) {
            const auto& [destinations, forbidden] = lists;
            // Destinations and forbidden zones in turn: the tour shows both kinds of
            // alert.
            std::vector<int>& route = routes[number];
            for (std::size_t k = 0; k < std::max(destinations.size(), forbidden.size()); ++k) {
                if (k < destinations.size())
                    route.push_back(destinations[k]);
                if (k < forbidden.size())
                    route.push_back(forbidden[k]);
            }
        }
    }
    for (const int32_t number : numbers) {
        Mover m;
        m.number = number;
        for (const auto& [silentNumber, seconds] : options_.silentAfter) {
            if (silentNumber == number)
                m.silentAfterSeconds = seconds;
        }
        const auto route = routes.find(number);
        if (route != routes.end() && !route->second.empty()) {
            m.route = route->second;
            PickNextRouteLeg(m, true);
        } else {
            PickNextLeg(m, true);
        }
        movers_.push_back(m);
    }
    return !movers_.empty();
}

void CInboxFeed::PickNextLeg(Mover& m, bool atStart) {
    std::uniform_real_distribution<double> offset(-0.05, 0.05);
    if (zones_.ZoneCount() > 0) {
        std::uniform_int_distribution<int> pick(0, zones_.ZoneCount() - 1);
        if (atStart) {
            const ZoneRecord& start = zones_.Zone(pick(random_));
            m.latitude = start.latitude;
            m.longitude = start.longitude;
        }
        int target = pick(random_);
        // Another zone than the one the object stands in, when there is one.
        for (int tries = 0; tries < 8 && zones_.ZoneCount() > 1; ++tries) {
            const ZoneRecord& z = zones_.Zone(target);
            if (z.latitude != m.latitude || z.longitude != m.longitude)
                break;
            target = pick(random_);
        }
        m.toLatitude = zones_.Zone(target).latitude;
        m.toLongitude = zones_.Zone(target).longitude;
    } else {
        if (atStart) {
            m.latitude = kHomeLatitude + offset(random_);
            m.longitude = kHomeLongitude + offset(random_);
        }
        m.toLatitude = kHomeLatitude + offset(random_);
        m.toLongitude = kHomeLongitude + offset(random_);
    }
    StartLeg(m, kMaxStepsPerLeg);
}

void CInboxFeed::StartLeg(Mover& m, int maxSteps) {
    m.fromLatitude = m.latitude;
    m.fromLongitude = m.longitude;
    const double metres =
        GreatCircleDistance(m.fromLatitude, m.fromLongitude, m.toLatitude, m.toLongitude);
    m.steps = std::clamp(static_cast<int>(metres / options_.stepMetres), 2, maxSteps);
    m.step = 0;
}

void CInboxFeed::PickNextRouteLeg(Mover& m, bool atStart) {
    int target;
    if (atStart) {
        target = m.route[0];
        m.routeNext = 1 % m.route.size();
        // Somewhere 0.6 to 1.5 km outside the zone's edge.
        const ZoneRecord& z = zones_.Zone(target);
        const double reach =
            z.kind == Circle ? z.radiusMetres : std::sqrt(z.areaSquareMetres / 3.141592653589793);
        std::uniform_real_distribution<double> distance(600.0, 1500.0);
        std::uniform_real_distribution<double> bearing(0.0, 2 * 3.141592653589793);
        const double metres = reach + distance(random_);
        const double angle = bearing(random_);
        m.latitude = z.latitude + metres * std::cos(angle) / kMetresPerDegree;
        m.longitude = z.longitude + metres * std::sin(angle) /
                                        (kMetresPerDegree * std::cos(z.latitude * kRadians));
    } else if (m.route.size() == 1) {
        // One zone only: go somewhere else and come back.
        const ZoneRecord& home = zones_.Zone(m.route[0]);
        const bool atHome = m.latitude == home.latitude && m.longitude == home.longitude;
        std::uniform_int_distribution<int> pick(0, zones_.ZoneCount() - 1);
        target = atHome && zones_.ZoneCount() > 1 ? pick(random_) : m.route[0];
        if (target == m.route[0] && atHome)
            target = (target + 1) % zones_.ZoneCount();
    } else {
        target = m.route[m.routeNext];
        m.routeNext = (m.routeNext + 1) % m.route.size();
    }
    m.toLatitude = zones_.Zone(target).latitude;
    m.toLongitude = zones_.Zone(target).longitude;
    StartLeg(m, kMaxStepsPerRouteLeg);
}

bool CInboxFeed::Advance(Mover& m) {
    if (m.route.empty()) {
        if (++m.step >= m.steps) {
            m.latitude = m.toLatitude;
            m.longitude = m.toLongitude;
            PickNextLeg(m, false);
        } else {
            const double f = static_cast<double>(m.step) / m.steps;
            m.latitude = m.fromLatitude + (m.toLatitude - m.fromLatitude) * f;
            m.longitude = m.fromLongitude + (m.toLongitude - m.fromLongitude) * f;
        }
        return true;
    }
    if (m.dwell > 0) {
        // Loading or unloading: a few fixes at the zone, then on to the next one.
        if (--m.dwell == 0)
            PickNextRouteLeg(m, false);
        return false;
    }
    if (++m.step >= m.steps) {
        m.latitude = m.toLatitude;
        m.longitude = m.toLongitude;
        std::uniform_int_distribution<int> dwell(3, 6);
        m.dwell = dwell(random_);
    } else {
        const double f = static_cast<double>(m.step) / m.steps;
        m.latitude = m.fromLatitude + (m.toLatitude - m.fromLatitude) * f;
        m.longitude = m.fromLongitude + (m.toLongitude - m.fromLongitude) * f;
    }
    return true;
}

std::string CInboxFeed::BuildText(int kind, int64_t sequence) {
    const long long n = static_cast<long long>(sequence);
    switch (kind) {
        case kStalePosition:
            return TextUtil::Format(W("Старое #%lld").c_str(), n);
        case kPowerOn:
            return TextUtil::Format(W("Свежее PU #%lld").c_str(), n);
        case kAlarm:
            return TextUtil::Format(W("Тревога #%lld").c_str(), n);
        case kInputs: {
            std::uniform_int_distribution<int> bit(0, 1);
            const int a = bit(random_), b = bit(random_), c = bit(random_), d = bit(random_),
                      e = bit(random_);
            return TextUtil::Format(W("Входы: %d %d %d %d %d #%lld").c_str(), a, b, c, d, e, n);
        }
        default:
            return TextUtil::Format(W("Свежее #%lld").c_str(), n);
    }
}

bool CInboxFeed::WriteNext(DateTime localNow) {
    if (movers_.empty())
        return false;
    if (!firstWrite_)
        firstWrite_ = localNow;
    const double elapsedSeconds = (localNow - *firstWrite_) * 86400.0;
    Mover* chosen = nullptr;
    for (std::size_t tries = 0; tries < movers_.size() && chosen == nullptr; ++tries) {
        Mover& candidate = movers_[next_];
        next_ = (next_ + 1) % movers_.size();
        if (candidate.silentAfterSeconds < 0 || elapsedSeconds < candidate.silentAfterSeconds)
            chosen = &candidate;
    }
    if (chosen == nullptr)
        return true;
    Mover& m = *chosen;

    std::uniform_int_distribution<int> roll(0, 99);
    const int r = roll(random_);
    const int alarms = options_.alarmPercent;
    const int powerOns = options_.powerOnPercent;
    const int kind = r < alarms                   ? kAlarm
                     : r < alarms + 7             ? kInputs
                     : r < alarms + 7 + powerOns  ? kPowerOn
                     : r < alarms + 17 + powerOns ? kStalePosition
                                                  : kPosition;

    InboxRecordHeader h;
    h.objectNumber = m.number;
    h.receiveTime = localNow;
    const int offset = options_.utcOffsetMinutes.value_or(0);
    h.messageTime = localNow.AddMinutes(offset);
    h.flags = InboxRecordHeader::kLastRecordFlag;
    if (kind == kAlarm) {
        h.flags |= InboxRecordHeader::kAlarmFlag;
    } else if (kind != kInputs) {
        const bool moving = Advance(m);
        h.flags |= InboxRecordHeader::kPositionFlag;
        h.latitude = m.latitude;
        h.longitude = m.longitude;
        if (m.route.empty()) {
            std::uniform_real_distribution<double> speed(5.0, 90.0);
            h.speed = speed(random_);
        } else {
            // What the speedometer would show for one step per round of all objects,
            // so that the reported and the computed speed agree.
            const double roundSeconds = static_cast<double>(movers_.size()) / options_.rate;
            std::uniform_real_distribution<double> spread(0.9, 1.1);
            h.speed = moving ? options_.stepMetres / roundSeconds * 3.6 * spread(random_) : 0.0;
        }
    }
    const std::string text = BuildText(kind, written_ + 1);
    std::string fileName;
    if (!WriteFile(EncodeInboxRecord(h, text), m.number, localNow, fileName))
        return false;
    ++written_;
    if (log_ != nullptr) {
        std::fprintf(log_, "%s\t%d\t%s\n", fileName.c_str(), m.number, text.c_str());
        std::fflush(log_);
    }
    return true;
}

bool CInboxFeed::WriteFile(const std::string& bytes, int32_t number, DateTime localNow,
                           std::string& fileName) {
    // The name carries the time of receipt; when that name is still waiting in the
    // inbox, the next free second is taken: a file must never replace an unread one.
    std::string finalPath;
    for (int k = 0; k < 86400; ++k) {
        const CalendarFields c = localNow.AddDays(k / 86400.0).ToCalendar();
        fileName = TextUtil::Format("%02d%02d%02d%02d.%03d", c.day, c.hour, c.minute, c.second,
                                    static_cast<int>(number));
        finalPath = options_.inboxFolder + "/" + fileName;
        std::error_code error;
        if (!fs::exists(finalPath, error))
            break;
        finalPath.clear();
    }
    if (finalPath.empty())
        return false;
    // Written under a name the console never reads, then renamed into place, so a file
    // is never seen half written.
    const std::string temporary =
        options_.inboxFolder +
        TextUtil::Format("/~sentrel-feed-%d.tmp", static_cast<int>(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code error;
            fs::remove(temporary, error);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, finalPath, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

int CInboxFeed::Backlog() const {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(options_.inboxFolder, error)) {
        if (IsInboxFileName(entry.path().string()))
            ++count;
    }
    return count;
}
