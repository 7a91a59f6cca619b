#include "platform/host/host.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "";
    return name;
}

std::string UtcNowIso8601() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc;
    gmtime_r(&now.tv_sec, &utc);
    char text[40];
    const size_t length = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    snprintf(text + length, sizeof text - length, ".%03ldZ", now.tv_nsec / 1000000L);
    return text;
}

void GuardStandardStreams() {
    // A reader that goes away (`| head -1`, a gang's parent that ended) makes a write fail with
    // EPIPE instead of ending the process in the middle of an update.
    signal(SIGPIPE, SIG_IGN);
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int none = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (none >= 0 && none != fd) {
                dup2(none, fd);
                close(none);
            }
        }
    }
}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

AppendFile::~AppendFile() {
    if (m_fd >= 0)
        close(m_fd);
}

bool AppendFile::Open(const std::string& path, std::string* error) {
    // Without O_NONBLOCK a FIFO that nobody reads would hold the open for ever.
    m_fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (m_fd < 0) {
        *error = errno == ENXIO ? "no process reads it" : std::strerror(errno);
        return false;
    }
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    struct stat status;
    if (fstat(m_fd, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode) &&
        !S_ISFIFO(status.st_mode)) {
        *error = "not a file";
        close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

// One write per line: lines that several processes append to the same file never mix.
bool AppendFile::Append(const std::string& line, std::string* error) {
    const std::string whole = line + "\n";
    ssize_t written;
    do
        written = write(m_fd, whole.data(), whole.size());
    while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(whole.size())) {
        *error = written < 0 ? std::strerror(errno) : "short write";
        return false;
    }
    if (fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace host
