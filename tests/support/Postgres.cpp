#include "tests/support/Postgres.h"

#include "tests/support/Files.h"

#include <cstdio>
#include <filesystem>

#ifndef KORVANE_SOURCE_DIR
#define KORVANE_SOURCE_DIR "."
#endif

namespace testsupport {

PostgresServer::~PostgresServer() {
    Stop();
    if (!m_dir.empty())
        std::filesystem::remove_all(m_dir);
}

bool PostgresServer::Run(const std::string& verb) {
    const std::string command =
        std::string(KORVANE_SOURCE_DIR) + "/tests/support/postgres-server " + verb + " " + m_dir;
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr)
        return false;
    char line[512] = {};
    std::string text;
    while (std::fgets(line, sizeof line, out))
        text += line;
    const bool ok = pclose(out) == 0;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (ok && !text.empty())
        m_url = text;
    return ok;
}

bool PostgresServer::Start() {
    m_dir = MakeTempDir("korvane-pg");
    if (m_dir.empty())
        return false;
    // The server runs as another user when this is root: it must reach its folder.
    std::filesystem::permissions(m_dir, std::filesystem::perms(0755));
    return Run("start");
}

void PostgresServer::Stop() {
    if (!m_dir.empty())
        Run("stop");
}

bool PostgresServer::Resume() {
    return Run("resume");
}

} // namespace testsupport
