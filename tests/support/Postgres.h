// A real PostgreSQL server for a test or benchmark, started by tests/support/postgres-server in
// a folder of its own on 127.0.0.1 and stopped when the object goes.
#pragma once

#include <string>

namespace testsupport {

class PostgresServer {
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // False (with the script's words on standard error) when it could not be started.
    bool Start();
    void Stop();
    bool Resume(); // after Stop, on the same port
    const std::string& Url() const { return m_url; }

private:
    bool Run(const std::string& command);
    std::string m_dir, m_url;
};

} // namespace testsupport
