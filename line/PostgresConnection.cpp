// A pool shared by the stations of a line: one PostgreSQL server. A reservation is one
// transaction that first takes a transaction-scoped advisory lock named after the pool, so the
// stations' reservations of one pool follow each other; lock_timeout bounds the wait.
#include "line/SqlConnection.h"

#include "line/LibPq.h"

namespace line {

namespace {

// libpq's message, which may run over lines and ends with one, as the one line a caller shows.
std::string OneLine(std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    for (char& c : message)
        if (c == '\n')
            c = ' ';
    return message;
}

class PostgresConnection : public SqlConnection {
public:
    PostgresConnection(const LibPq& library, PGconn* connection)
        : m_pq(library), m_connection(connection) {}
    ~PostgresConnection() override { m_pq.PQfinish(m_connection); }

    bool Exec(const std::string& sql, const std::vector<std::string>& params, SqlRows* rows,
              std::string* error) override {
        if (rows != nullptr)
            rows->clear();
        std::vector<const char*> values;
        for (const std::string& param : params)
            values.push_back(param.c_str());
        PGresult* result = m_pq.PQexecParams(m_connection, sql.c_str(), int(values.size()), nullptr,
                                             values.data(), nullptr, nullptr, 0);
        const ExecStatusType status = m_pq.PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!ok) {
            *error = OneLine(m_pq.PQerrorMessage(m_connection));
        } else if (rows != nullptr) {
            for (int r = 0; r < m_pq.PQntuples(result); ++r) {
                std::vector<std::string> row;
                for (int c = 0; c < m_pq.PQnfields(result); ++c)
                    row.emplace_back(m_pq.PQgetvalue(result, r, c));
                rows->push_back(std::move(row));
            }
        }
        m_pq.PQclear(result);
        return ok;
    }

    bool BeginExclusive(const std::string& lock, std::string* error) override {
        if (!Exec("BEGIN", {}, nullptr, error))
            return false;
        if (Exec("SELECT pg_advisory_xact_lock(hashtext($1))", {lock}, nullptr, error))
            return true;
        Rollback();
        return false;
    }
    void Rollback() override {
        if (m_pq.PQtransactionStatus(m_connection) != PQTRANS_IDLE)
            m_pq.PQclear(m_pq.PQexec(m_connection, "ROLLBACK"));
    }

private:
    const LibPq& m_pq;
    PGconn* m_connection;
};

} // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& url, std::string* error) {
    const LibPq* library = LoadLibPq(error);
    if (!library)
        return nullptr;
    const LibPq& pq = *library;
    // The URL's own settings stand; a connect timeout and the lock bound are added to them.
    const std::string timeout = std::to_string(kSqlLockWaitSeconds);
    const std::string options = "-c lock_timeout=" + timeout + "s -c statement_timeout=" +
                                std::to_string(3 * kSqlLockWaitSeconds) + "s";
    const char* keys[] = {"dbname", "connect_timeout", "options", nullptr};
    const char* values[] = {url.c_str(), timeout.c_str(), options.c_str(), nullptr};
    PGconn* connection = pq.PQconnectdbParams(keys, values, 1);
    if (connection == nullptr || pq.PQstatus(connection) != CONNECTION_OK) {
        *error = connection ? OneLine(pq.PQerrorMessage(connection)) : "out of memory";
        pq.PQfinish(connection);
        return nullptr;
    }
    // The server's notices ("already exists, skipping") are not the operator's business.
    pq.PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    return std::make_unique<PostgresConnection>(pq, connection);
}

} // namespace line
