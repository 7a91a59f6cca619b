#include "platform/ui/TerminalLog.h"

#include "afxstr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// Makes every missing folder of the path's parent, private to the user.
void MakeParents(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0700);
}

std::string Stamp() {
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    char text[64];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03ld ",
                  static_cast<long>(now.tv_usec / 1000));
    return text;
}

} // namespace

std::string TermLogPath() {
    const char* explicitPath = std::getenv("KORVANE_LOG");
    if (explicitPath && *explicitPath)
        return explicitPath;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return std::string(state) + "/korvane/korvane.log";
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return std::string(home) + "/.local/state/korvane/korvane.log";
    return "/tmp/korvane-" + std::to_string(getuid()) + ".log";
}

CTerminalLog::CTerminalLog(const std::string& path) : m_path(path) {
    MakeParents(path);
    m_pFile = std::fopen(path.c_str(), "a");
    if (!m_pFile)
        m_error = "cannot open the log " + path + ": " + std::strerror(errno);
    else
        Write("korvane started, process " + std::to_string(getpid()) + "\n");
    m_previousConsole = ce::SetConsoleSink([this](const std::string& text) { Write(text); });
    m_previousDebug = ce::SetDebugSink([this](const std::wstring& text) {
        std::string line = CString(text).ToUtf8();
        if (line.empty() || line.back() != '\n')
            line += '\n';
        Write(line);
    });
}

CTerminalLog::~CTerminalLog() {
    ce::SetConsoleSink(std::move(m_previousConsole));
    ce::SetDebugSink(std::move(m_previousDebug));
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = nullptr;
}

// Console text comes in pieces; a stamp begins each line.
void CTerminalLog::Write(const std::string& text) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_pFile)
        return;
    std::string out;
    for (char c : text) {
        if (m_bLineStart)
            out += Stamp();
        out += c;
        m_bLineStart = c == '\n';
    }
    std::fwrite(out.data(), 1, out.size(), m_pFile);
    std::fflush(m_pFile);
}
