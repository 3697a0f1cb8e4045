#include "SqliteJournalReader.h"

#include <sqlite3.h>

#include <utility>

#include "ReadOnlyConnection.h"
#include "TrackDatabase.h"
#include "base/Cp1251.h"
#include "platform/FileSystem.h"

namespace {

const char* const kWhat = "Журнал оповещений";

// A page of a filter on kinds alone that leaves more rows than this is found by walking
// the index of the order and testing the kind on the way (at least one row in fifty
// matches); fewer are found through the kind index and sorted.
constexpr int64_t kWalkOrderAbove = 20000;

// Only the kinds narrow the rows. With another filter beside them that one picks the
// rows (by its index: few rows, or an order walked) and the kind is tested on the way;
// SQLite, left to itself, may take the kind index and test each of its many rows.
bool KindsAlone(const AlertJournalSource::Filter& f) {
    return (f.kinds & kAllJournalKinds) != kAllJournalKinds && f.objects.empty() &&
           f.fromUtc.IsNever() && f.toUtc.IsNever() && !f.onlyUnacknowledged;
}

// The filter as a WHERE clause; the period's ends are bound as ?1 and ?2. The numbers
// of vehicles and kinds are integers and written in. `kindsByIndex` false: the kind
// index is not used for the kinds (SQLite leaves a "+column" term to the rows found).
std::string Where(const AlertJournalSource::Filter& f, bool kindsByIndex = true) {
    std::string where = " WHERE 1";
    if (!f.fromUtc.IsNever())
        where += " AND raised >= ?1";
    if (!f.toUtc.IsNever())
        where += " AND raised < ?2";
    if (!f.objects.empty()) {
        where += " AND object IN (";
        for (std::size_t k = 0; k < f.objects.size(); ++k) {
            if (k > 0)
                where += ',';
            where += std::to_string(f.objects[k]);
        }
        where += ')';
    }
    if ((f.kinds & kAllJournalKinds) != kAllJournalKinds) {
        std::string kinds;
        for (int k = 1; k <= kJournalKindCount; ++k) {
            if ((f.kinds & JournalKindBit(static_cast<JournalKind>(k))) != 0)
                kinds += (kinds.empty() ? "" : ",") + std::to_string(k);
        }
        where += kinds.empty()  ? " AND 0"
                 : kindsByIndex ? " AND kind IN (" + kinds + ")"
                                : " AND +kind IN (" + kinds + ")";
    }
    if (f.onlyUnacknowledged)
        where += " AND ack_id IS NULL";
    return where;
}

// ORDER BY for `order`, each term in `direction`, written as the indexes are so that
// SQLite walks one instead of sorting; ties by the row's number.
std::string OrderBy(AlertJournalSource::Order order, bool descending, const char* prefix) {
    const std::string p = prefix;
    const char* dir = descending ? " DESC" : "";
    std::string key;
    switch (order) {
        case AlertJournalSource::Order::Raised:
            key = p + "raised" + dir;
            break;
        case AlertJournalSource::Order::Object:
            key = p + "object" + dir;
            break;
        case AlertJournalSource::Order::Kind:
            key = p + "kind" + dir;
            break;
        case AlertJournalSource::Order::Zone:
            key = p + "zone" + dir;
            break;
        case AlertJournalSource::Order::Acknowledged:
            key = p + "ack_time IS NULL" + dir + ", " + p + "ack_time" + dir;
            break;
        case AlertJournalSource::Order::Reaction:
            key = p + "ack_time IS NULL" + dir + ", " + p + "ack_time - " + p + "raised" + dir;
            break;
    }
    return " ORDER BY " + key + ", " + p + "id" + dir;
}

// Opens the store read-only. False with `problem` empty when there is no journal to read
// (no file, or one from before the journal).
bool Open(const std::string& path, CReadOnlyConnection& c, std::string& problem) {
    // Opening a missing file read-only would not make one, but SQLite would call that
    // "cannot open".
    if (!FileSystem::FileExists(path))
        return false;
    int rc = c.Open(path, CSqliteJournalReader::kBusyMs);
    if (rc == SQLITE_OK)
        rc = c.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'alerts'");
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(c.Statement());
        if (rc == SQLITE_DONE)
            return false;
        if (rc == SQLITE_ROW)
            return true;
    }
    problem = c.Problem(W(kWhat), rc);
    return false;
}

void BindPeriod(sqlite3_stmt* s, const AlertJournalSource::Filter& f) {
    if (!f.fromUtc.IsNever())
        sqlite3_bind_int64(s, 1, CTrackDatabase::UnixMs(f.fromUtc));
    if (!f.toUtc.IsNever())
        sqlite3_bind_int64(s, 2, CTrackDatabase::UnixMs(f.toUtc));
}

std::string Text(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    return text != nullptr ? Cp1251::FromUtf8(reinterpret_cast<const char*>(text)) : std::string();
}

}  // namespace

CSqliteJournalReader::CSqliteJournalReader(std::string path) : path_(std::move(path)) {}

namespace {

// The number of rows the filter leaves, on an open connection, counted up to `atMost`
// when that is above 0 (enough to tell many from few without walking them all);
// SQLITE_ROW when counted.
int CountOn(CReadOnlyConnection& c, const AlertJournalSource::Filter& filter, int64_t& rows,
            int64_t atMost = 0) {
    const std::string rowsLeft = "FROM alerts" + Where(filter, KindsAlone(filter));
    const std::string sql = atMost > 0 ? "SELECT COUNT(*) FROM (SELECT 1 " + rowsLeft + " LIMIT " +
                                             std::to_string(atMost) + ")"
                                       : "SELECT COUNT(*) " + rowsLeft;
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(c.Db(), sql.c_str(), -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        BindPeriod(statement, filter);
        rc = sqlite3_step(statement);
    }
    if (rc == SQLITE_ROW)
        rows = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return rc;
}

}  // namespace

AlertJournalSource::Count CSqliteJournalReader::CountRows(const Filter& filter) {
    Count count;
    CReadOnlyConnection c;
    if (!Open(path_, c, count.problem))
        return count;
    const int rc = CountOn(c, filter, count.rows);
    if (rc != SQLITE_ROW)
        count.problem = c.Problem(W(kWhat), rc);
    return count;
}

AlertJournalSource::Page CSqliteJournalReader::Rows(const Filter& filter, Order order,
                                                    bool descending, int64_t offset, int limit) {
    Page page;
    if (limit <= 0)
        return page;
    CReadOnlyConnection c;
    if (!Open(path_, c, page.problem))
        return page;
    // SQLite would take the kind index for a filter on kinds alone and sort every row it
    // leaves: right for a few, slow for many. How many it leaves decides.
    bool kindsByIndex = KindsAlone(filter);
    if (kindsByIndex && order != Order::Kind) {
        int64_t rows = 0;
        const int rc = CountOn(c, filter, rows, kWalkOrderAbove + 1);
        if (rc != SQLITE_ROW) {
            page.problem = c.Problem(W(kWhat), rc);
            return page;
        }
        kindsByIndex = rows <= kWalkOrderAbove;
    }
    const std::string sql =
        "SELECT a.id, a.raised, a.object, a.object_name, a.kind, a.zone, a.text,"
        " a.message_time, a.receive_time, a.ack_time, k.account"
        " FROM alerts a LEFT JOIN acknowledgements k ON k.id = a.ack_id"
        " WHERE a.id IN (SELECT id FROM alerts" +
        Where(filter, kindsByIndex) + OrderBy(order, descending, "") + " LIMIT ?3 OFFSET ?4)" +
        OrderBy(order, descending, "a.");
    int rc = c.Prepare(sql);
    if (rc != SQLITE_OK) {
        page.problem = c.Problem(W(kWhat), rc);
        return page;
    }
    sqlite3_stmt* const s = c.Statement();
    BindPeriod(s, filter);
    sqlite3_bind_int(s, 3, limit);
    sqlite3_bind_int64(s, 4, offset < 0 ? 0 : offset);
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        JournalAlert a;
        a.id = sqlite3_column_int64(s, 0);
        a.raisedUtc = CTrackDatabase::FromUnixMs(sqlite3_column_int64(s, 1));
        a.objectNumber = sqlite3_column_int(s, 2);
        a.objectName = Text(s, 3);
        a.kind = static_cast<JournalKind>(sqlite3_column_int(s, 4));
        a.zoneName = Text(s, 5);
        a.text = Text(s, 6);
        a.messageTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(s, 7));
        a.receiveTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(s, 8));
        a.acknowledged = sqlite3_column_type(s, 9) != SQLITE_NULL;
        if (a.acknowledged) {
            a.acknowledgedUtc = CTrackDatabase::FromUnixMs(sqlite3_column_int64(s, 9));
            a.acknowledgedAccount = Text(s, 10);
        }
        page.rows.push_back(std::move(a));
    }
    if (rc != SQLITE_DONE) {
        // Damaged where the page lies: nothing rather than part of it.
        page.rows.clear();
        page.problem = c.Problem(W(kWhat), rc);
    }
    return page;
}
