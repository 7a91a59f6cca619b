#include "line/SerialJournal.h"

#include "platform/host/host.h"

#include <set>

namespace line {

namespace {

const char kSchema[] = "CREATE TABLE IF NOT EXISTS korvane_serials ("
                       " pool TEXT NOT NULL, value TEXT NOT NULL,"
                       " num BIGINT NOT NULL," // a counter's number; -1 for a list's value
                       " state TEXT NOT NULL,"
                       " host TEXT NOT NULL, pid BIGINT NOT NULL, boot TEXT NOT NULL,"
                       " started TEXT NOT NULL, reserved_at TEXT NOT NULL,"
                       " settled_at TEXT NOT NULL, issued INTEGER NOT NULL,"
                       " PRIMARY KEY (pool, value))";
const char kStateIndex[] =
    "CREATE INDEX IF NOT EXISTS korvane_serials_state ON korvane_serials (state, host)";

// A counter's numbers of the pool at or above first, on its step.
const char kInRange[] = "pool = $1 AND num >= $2 AND num <= $3 AND (num - $2) % $4 = 0";

std::string Num(uint64_t number) {
    return std::to_string(number);
}

// Which numbers a reservation would take, the returned ones first: up to `need` of them.
struct Pick {
    std::vector<std::string> returned; // given back earlier, taken again
    std::vector<std::string> fresh;    // never given out
    unsigned long long remaining = 0;  // how many the pool could give in all
    size_t Size() const { return returned.size() + fresh.size(); }
};

bool PickCounter(SqlConnection& sql, const RecipeSerial& serial, size_t need, Pick* pick,
                 std::string* error) {
    const std::vector<std::string> range = {serial.pool, Num(serial.first), Num(serial.last),
                                            Num(serial.step)};
    SqlRows rows;
    if (!sql.Exec(std::string("SELECT value FROM korvane_serials WHERE ") + kInRange +
                      " AND state = 'returned' ORDER BY num",
                  range, &rows, error))
        return false;
    for (const auto& row : rows)
        if (pick->Size() < need)
            pick->returned.push_back(row[0]);
    pick->remaining = rows.size();

    if (!sql.Exec(std::string("SELECT MAX(num) FROM korvane_serials WHERE ") + kInRange, range,
                  &rows, error))
        return false;
    const bool none = rows.empty() || rows[0][0].empty();
    const uint64_t top = none ? 0 : std::stoull(rows[0][0]);
    if (none || serial.last - top >= serial.step) {
        const uint64_t from = none ? serial.first : top + serial.step;
        pick->remaining += (serial.last - from) / serial.step + 1;
        // Another recipe drawing from the pool on another step may have taken a number past
        // the top of this one's: such numbers are skipped, never given twice.
        for (uint64_t next = from; pick->Size() < need;) {
            if (!sql.Exec("SELECT 1 FROM korvane_serials WHERE pool = $1 AND value = $2",
                          {serial.pool, Num(next)}, &rows, error))
                return false;
            if (rows.empty())
                pick->fresh.push_back(Num(next));
            else
                --pick->remaining;
            if (serial.last - next < serial.step)
                break;
            next += serial.step;
        }
    }
    return true;
}

bool PickList(SqlConnection& sql, const RecipeSerial& serial, size_t need, Pick* pick,
              std::string* error) {
    SqlRows rows;
    if (!sql.Exec("SELECT value, state FROM korvane_serials WHERE pool = $1", {serial.pool}, &rows,
                  error))
        return false;
    std::set<std::string> taken, returned;
    for (const auto& row : rows)
        (row[1] == "returned" ? returned : taken).insert(row[0]);
    for (const std::string& value : serial.values) {
        if (taken.count(value))
            continue;
        ++pick->remaining;
        if (pick->Size() < need)
            (returned.count(value) ? pick->returned : pick->fresh).push_back(value);
    }
    return true;
}

bool PickValues(SqlConnection& sql, const RecipeSerial& serial, size_t need, Pick* pick,
                std::string* error) {
    return serial.isList ? PickList(sql, serial, need, pick, error)
                         : PickCounter(sql, serial, need, pick, error);
}

} // namespace

const char* SerialStateName(SerialState state) {
    switch (state) {
    case SerialState::Reserved:
        return "reserved";
    case SerialState::Used:
        return "used";
    case SerialState::Void:
        return "void";
    case SerialState::Returned:
        return "returned";
    }
    return "void";
}

bool IsPostgresJournal(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

Verdict SerialJournal::Failed(const std::string& what, const std::string& error) const {
    return Verdict::Refuse(kJournalError, "serial journal " + m_where + ": " + what + ": " + error);
}

std::unique_ptr<SerialJournal> SerialJournal::Open(const std::string& where, Verdict* verdict) {
    std::string error;
    std::unique_ptr<SqlConnection> sql =
        IsPostgresJournal(where) ? OpenPostgres(where, &error) : OpenSqlite(where, &error);
    std::unique_ptr<SerialJournal> journal(new SerialJournal(where, std::move(sql)));
    if (!journal->m_sql) {
        *verdict = journal->Failed("cannot be opened", error);
        return nullptr;
    }
    SqlConnection& db = *journal->m_sql;
    // Two processes creating the table at once on a server would collide without the lock.
    if (!db.BeginExclusive("korvane schema", &error) || !db.Exec(kSchema, {}, nullptr, &error) ||
        !db.Exec(kStateIndex, {}, nullptr, &error) || !db.Commit(&error)) {
        db.Rollback();
        *verdict = journal->Failed("cannot be written", error);
        return nullptr;
    }
    *verdict = Verdict::Pass();
    return journal;
}

Verdict SerialJournal::VoidStale(std::vector<SerialEntry>* voided) {
    voided->clear();
    const host::ProcessIdentity self = host::CurrentProcess();
    SqlRows rows;
    std::string error;
    if (!m_sql->Exec("SELECT pool, value, pid, boot, started, reserved_at FROM korvane_serials"
                     " WHERE state = 'reserved' AND host = $1 ORDER BY reserved_at",
                     {self.host}, &rows, &error))
        return Failed("cannot be read", error);
    for (const auto& row : rows) {
        SerialEntry entry{
            row[0], row[1], "void", {self.host, std::stoll(row[2]), row[3], row[4]}, row[5]};
        if (host::JudgeProcess(entry.holder) != host::Liveness::Gone)
            continue;
        SqlRows changed;
        // Only while it is still that holder's reservation: a child may have settled it since.
        if (!m_sql->Exec("UPDATE korvane_serials SET state = 'void', settled_at = $6"
                         " WHERE pool = $1 AND value = $2 AND state = 'reserved'"
                         " AND pid = $3 AND boot = $4 AND started = $5 RETURNING value",
                         {row[0], row[1], row[2], row[3], row[4], host::UtcNowIso8601()}, &changed,
                         &error))
            return Failed("cannot be written", error);
        if (!changed.empty())
            voided->push_back(entry);
    }
    return Verdict::Pass();
}

Verdict SerialJournal::Reserve(const RecipeSerial& serial, size_t count,
                               std::vector<std::string>* values) {
    values->clear();
    std::string error;
    if (!m_sql->BeginExclusive(serial.pool, &error))
        return Failed("cannot be locked", error);
    Pick pick;
    if (!PickValues(*m_sql, serial, count, &pick, &error)) {
        m_sql->Rollback();
        return Failed("cannot be read", error);
    }
    if (pick.Size() < count) {
        m_sql->Rollback();
        return Verdict::Refuse(kJournalError, "serial pool " + serial.pool +
                                                  " is exhausted: " + std::to_string(pick.Size()) +
                                                  " left, " + std::to_string(count) + " needed (" +
                                                  m_where + ")");
    }
    const host::ProcessIdentity self = host::CurrentProcess();
    const std::string now = host::UtcNowIso8601();
    const std::string pid = std::to_string(self.pid);
    for (const std::string& value : pick.returned)
        if (!m_sql->Exec("UPDATE korvane_serials SET state = 'reserved', host = $3, pid = $4,"
                         " boot = $5, started = $6, reserved_at = $7, settled_at = '',"
                         " issued = issued + 1 WHERE pool = $1 AND value = $2"
                         " AND state = 'returned'",
                         {serial.pool, value, self.host, pid, self.boot, self.started, now},
                         nullptr, &error)) {
            m_sql->Rollback();
            return Failed("cannot be written", error);
        }
    for (const std::string& value : pick.fresh)
        if (!m_sql->Exec("INSERT INTO korvane_serials VALUES"
                         " ($1, $2, $3, 'reserved', $4, $5, $6, $7, $8, '', 1)",
                         {serial.pool, value, serial.isList ? "-1" : value, self.host, pid,
                          self.boot, self.started, now},
                         nullptr, &error)) {
            m_sql->Rollback();
            return Failed("cannot be written", error);
        }
    if (!m_sql->Commit(&error))
        return Failed("cannot be committed", error);
    *values = pick.returned;
    values->insert(values->end(), pick.fresh.begin(), pick.fresh.end());
    return Verdict::Pass();
}

Verdict SerialJournal::Settle(const std::string& pool, const std::string& value,
                              SerialState outcome, std::string* now) {
    now->clear();
    SqlRows rows;
    std::string error;
    if (!m_sql->Exec("UPDATE korvane_serials SET state = $3, settled_at = $4"
                     " WHERE pool = $1 AND value = $2 AND state = 'reserved'",
                     {pool, value, SerialStateName(outcome), host::UtcNowIso8601()}, nullptr,
                     &error))
        return Failed("cannot be written", error);
    if (!m_sql->Exec("SELECT state FROM korvane_serials WHERE pool = $1 AND value = $2",
                     {pool, value}, &rows, &error))
        return Failed("cannot be read", error);
    if (rows.empty())
        return Failed("cannot be written",
                      "value " + value + " of pool " + pool + " was never reserved");
    *now = rows[0][0];
    return Verdict::Pass();
}

Verdict SerialJournal::Find(const std::string& pool, const std::string& value, SerialEntry* entry) {
    *entry = SerialEntry();
    SqlRows rows;
    std::string error;
    if (!m_sql->Exec("SELECT state, host, pid, boot, started, reserved_at FROM korvane_serials"
                     " WHERE pool = $1 AND value = $2",
                     {pool, value}, &rows, &error))
        return Failed("cannot be read", error);
    entry->pool = pool;
    entry->value = value;
    if (!rows.empty())
        *entry = {pool,
                  value,
                  rows[0][0],
                  {rows[0][1], std::stoll(rows[0][2]), rows[0][3], rows[0][4]},
                  rows[0][5]};
    return Verdict::Pass();
}

Verdict SerialJournal::View(const std::string& pool, const RecipeSerial* serial,
                            SerialPoolView* view) {
    *view = SerialPoolView();
    SqlRows rows;
    std::string error;
    if (!m_sql->Exec("SELECT state, COUNT(*) FROM korvane_serials WHERE pool = $1 GROUP BY state",
                     {pool}, &rows, &error))
        return Failed("cannot be read", error);
    for (const auto& row : rows) {
        const size_t n = std::stoull(row[1]);
        (row[0] == "reserved" ? view->reserved
         : row[0] == "used"   ? view->used
         : row[0] == "void"   ? view->voided
                              : view->returned) += n;
    }
    if (!m_sql->Exec("SELECT value, host, pid, boot, started, reserved_at FROM korvane_serials"
                     " WHERE pool = $1 AND state = 'reserved' ORDER BY reserved_at",
                     {pool}, &rows, &error))
        return Failed("cannot be read", error);
    for (const auto& row : rows)
        view->held.push_back(
            {pool, row[0], "reserved", {row[1], std::stoll(row[2]), row[3], row[4]}, row[5]});
    if (serial == nullptr)
        return Verdict::Pass();
    Pick pick;
    if (!PickValues(*m_sql, *serial, 1, &pick, &error))
        return Failed("cannot be read", error);
    view->known = true;
    view->remaining = pick.remaining;
    view->next = !pick.returned.empty() ? pick.returned[0]
                 : !pick.fresh.empty()  ? pick.fresh[0]
                                        : "";
    return Verdict::Pass();
}

} // namespace line
