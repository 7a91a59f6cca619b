// The serial journal: where every number a pool gives out is written down before a board is
// touched, so that no number ever goes to two boards, whatever crashes or is killed.
//
//     reserved ──> used       the board passed
//              ──> void       it failed (or its holder died: found at the next start)
//              ──> returned   it failed before any Program was sent, with on_failure = "reuse";
//                             only a returned number is ever given out again
//
// One interface, two databases: a SQLite file (the station's own; the default) or a PostgreSQL
// server (a pool several stations share), chosen by the journal's name.
#pragma once

#include "line/RecipeSerial.h"
#include "line/SqlConnection.h"
#include "line/Verdict.h"
#include "platform/host/process.h"

#include <memory>
#include <string>
#include <vector>

namespace line {

enum class SerialState { Reserved, Used, Void, Returned };

// "reserved", "used", "void", "returned".
const char* SerialStateName(SerialState state);

// Whether the journal's name is a PostgreSQL URL (postgresql:// or postgres://) rather than a
// SQLite file.
bool IsPostgresJournal(const std::string& where);

// One number as the journal holds it.
struct SerialEntry {
    std::string pool;
    std::string value; // a counter's decimal number, a list's hex
    std::string state;
    host::ProcessIdentity holder; // who reserved it
    std::string reservedAt;       // UTC, ISO 8601
};

// What `korvane serials` shows of a pool.
struct SerialPoolView {
    size_t reserved = 0, used = 0, voided = 0, returned = 0;
    std::vector<SerialEntry> held; // the reservations standing, oldest first
    bool known = false;            // the pool's source was given: next and remaining hold
    std::string next;              // "" when exhausted
    unsigned long long remaining = 0;
};

class SerialJournal {
public:
    // Opens (creating its table where missing) the journal at where. Exit class 8 when it
    // cannot be opened or written.
    static std::unique_ptr<SerialJournal> Open(const std::string& where, Verdict* verdict);

    const std::string& Where() const { return m_where; }

    // Turns the reservations of this machine's processes that are gone into void, into
    // *voided. They are never given out again.
    Verdict VoidStale(std::vector<SerialEntry>* voided);

    // Reserves count numbers of the serial's pool for this process, all in one transaction:
    // every one or none (exit class 8 when the pool cannot give count, or the journal fails).
    // serial.values must hold a list's values (ReadSerialList).
    Verdict Reserve(const RecipeSerial& serial, size_t count, std::vector<std::string>* values);

    // Moves a reserved value to outcome (Used, Void or Returned); *now receives the state the
    // journal holds afterwards (a reservation already turned void stays void).
    Verdict Settle(const std::string& pool, const std::string& value, SerialState outcome,
                   std::string* now);

    // The entry of one value into *entry (state "" when the journal has none).
    Verdict Find(const std::string& pool, const std::string& value, SerialEntry* entry);

    // The pool's totals and reservations; next and remaining when serial is given.
    Verdict View(const std::string& pool, const RecipeSerial* serial, SerialPoolView* view);

private:
    SerialJournal(std::string where, std::unique_ptr<SqlConnection> sql)
        : m_where(std::move(where)), m_sql(std::move(sql)) {}
    Verdict Failed(const std::string& what, const std::string& error) const;

    std::string m_where;
    std::unique_ptr<SqlConnection> m_sql;
};

} // namespace line
