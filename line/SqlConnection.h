// The little SQL the serial journal needs, over either of its two databases: statements with
// text parameters written $1, $2, ... and rows read back as text (NULL as ""), and a transaction
// that holds the pool's writer lock, so that two processes never reserve at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace line {

using SqlRows = std::vector<std::vector<std::string>>;

class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    // False with *error (the database's words) when it failed. rows may be null.
    virtual bool Exec(const std::string& sql, const std::vector<std::string>& params, SqlRows* rows,
                      std::string* error) = 0;
    // Starts a transaction holding the writer lock for `lock` (a pool's name); waits at most
    // kSqlLockWaitSeconds for it.
    virtual bool BeginExclusive(const std::string& lock, std::string* error) = 0;
    // COMMIT; a commit that fails is rolled back, so the lock is never left held.
    bool Commit(std::string* error) {
        if (Exec("COMMIT", {}, nullptr, error))
            return true;
        Rollback();
        return false;
    }
    virtual void Rollback() = 0;
};

// How long a reservation waits for another process's lock before the journal is said to fail.
const int kSqlLockWaitSeconds = 10;

// A SQLite file in WAL mode with synchronous=FULL: each commit is on the disk when it returns.
std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, std::string* error);

// A PostgreSQL server named by a postgresql:// URL.
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& url, std::string* error);

} // namespace line
