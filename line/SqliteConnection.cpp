// The station's own journal: one SQLite file that the children of a gang and other stations'
// processes on this machine share. BEGIN IMMEDIATE takes the file's write lock at the start of
// a reservation, so two reservations never interleave.
#include "line/SqlConnection.h"

#include <sqlite3.h>

namespace line {

namespace {

class SqliteConnection : public SqlConnection {
public:
    explicit SqliteConnection(sqlite3* db) : m_db(db) {}
    ~SqliteConnection() override { sqlite3_close_v2(m_db); }

    bool Exec(const std::string& sql, const std::vector<std::string>& params, SqlRows* rows,
              std::string* error) override {
        if (rows != nullptr)
            rows->clear();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, Native(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return Fail(error);
        for (size_t i = 0; i < params.size(); ++i)
            sqlite3_bind_text(statement, int(i + 1), params[i].c_str(), int(params[i].size()),
                              SQLITE_TRANSIENT);
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            if (rows == nullptr)
                continue;
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const unsigned char* text = sqlite3_column_text(statement, c);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            rows->push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        return step == SQLITE_DONE || Fail(error);
    }

    bool BeginExclusive(const std::string&, std::string* error) override {
        return Exec("BEGIN IMMEDIATE", {}, nullptr, error);
    }
    void Rollback() override {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    // $1 becomes ?1: SQLite would take "$1" for a named parameter.
    static std::string Native(std::string sql) {
        for (char& c : sql)
            if (c == '$')
                c = '?';
        return sql;
    }
    bool Fail(std::string* error) {
        *error = sqlite3_errmsg(m_db);
        return false;
    }

    sqlite3* m_db;
};

} // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    // Never created by a URI or in memory: the journal is the file named.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        *error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return nullptr;
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        *error = "the file is read-only";
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kSqlLockWaitSeconds * 1000);
    auto connection = std::make_unique<SqliteConnection>(db);
    SqlRows rows;
    // Putting the file in WAL mode takes its exclusive lock. Processes opening a new journal at
    // once each hold a shared lock while they ask, and SQLite answers BUSY at once rather than
    // wait for a lock that may never come (the busy timeout does not apply): ask again, as long
    // as a lock is waited for.
    bool wal = connection->Exec("PRAGMA journal_mode=WAL", {}, &rows, error);
    for (int waited = 0;
         !wal && sqlite3_errcode(db) == SQLITE_BUSY && waited < kSqlLockWaitSeconds * 1000;
         waited += 10) {
        sqlite3_sleep(10);
        wal = connection->Exec("PRAGMA journal_mode=WAL", {}, &rows, error);
    }
    if (!wal || !connection->Exec("PRAGMA synchronous=FULL", {}, nullptr, error))
        return nullptr;
    if (rows.empty() || rows[0].empty() || rows[0][0] != "wal") {
        *error = "the file cannot be put in WAL mode";
        return nullptr;
    }
    return connection;
}

} // namespace line
