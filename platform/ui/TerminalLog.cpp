#include "platform/ui/TerminalLog.h"

#include "afxstr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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
    // The session's own folder, never a shared one such as /tmp, where another user could
    // have put a file or a link under the name first.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return std::string(runtime) + "/korvane.log";
    return "";
}

CTerminalLog::CTerminalLog(const std::string& path) : m_path(path) {
    m_pFile = Open(path, &m_error);
    if (m_pFile)
        Write("korvane started, process " + std::to_string(getpid()) + "\n");
    m_previousConsole = ce::SetConsoleSink([this](const std::string& text) { Write(text); });
    m_previousDebug = ce::SetDebugSink([this](const std::wstring& text) {
        std::string line = CString(text).ToUtf8();
        if (line.empty() || line.back() != '\n')
            line += '\n';
        Write(line);
    });
}

// The log is the user's own regular file, or none: a link put under its name is not followed
// (it could point at any file the user may write), and a file of another user is not written.
// Neither the open nor the file's first use can wait (a FIFO under the name is refused). An
// older log that others could read is made private.
FILE* CTerminalLog::Open(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "no folder for the log (none of KORVANE_LOG, XDG_STATE_HOME, HOME and "
                 "XDG_RUNTIME_DIR is set)";
        return nullptr;
    }
    MakeParents(path);
    const int fd =
        open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = errno == ELOOP ? "the log " + path + " is a symbolic link, not followed"
                                : "cannot open the log " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        *error = "the log " + path + " is not a regular file";
    else if (status.st_uid != geteuid())
        *error = "the log " + path + " belongs to user " + std::to_string(status.st_uid) +
                 ", not to this one";
    else if (fcntl(fd, F_SETFL, O_APPEND) != 0 || fchmod(fd, 0600) != 0)
        *error = "cannot open the log " + path + ": " + std::strerror(errno);
    FILE* file = error->empty() ? fdopen(fd, "a") : nullptr;
    if (!file) {
        if (error->empty())
            *error = "cannot open the log " + path + ": " + std::strerror(errno);
        close(fd);
    }
    return file;
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
