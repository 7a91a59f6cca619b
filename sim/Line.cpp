#include "sim/Line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace ksim {

namespace {

std::string Why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// 115200 8N1, raw, no flow control, receiver on, modem lines ignored.
bool SetRaw(int fd) {
    termios t;
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

std::unique_ptr<Line> Line::OpenPty(const std::string& link, std::string* error) {
    int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = Why("cannot create a pseudo-terminal");
        return nullptr;
    }
    const char* name = nullptr;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || !(name = ptsname(fd))) {
        *error = Why("cannot prepare the pseudo-terminal");
        close(fd);
        return nullptr;
    }
    std::unique_ptr<Line> line(new Line(fd, name, true));

    // The host finds its end raw and at 115200 even if it sets nothing itself; the settings
    // stay with the pty after we close our descriptor of that end.
    int host = open(name, O_RDWR | O_NOCTTY);
    if (host < 0 || !SetRaw(host)) {
        *error = Why("cannot set up " + line->m_path);
        if (host >= 0)
            close(host);
        return nullptr;
    }
    close(host);

    if (!link.empty()) {
        struct stat st;
        if (lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                *error = link + " exists and is not a symbolic link; it is left alone";
                return nullptr;
            }
            unlink(link.c_str());
        }
        if (symlink(name, link.c_str()) != 0) {
            *error = Why("cannot make the link " + link);
            return nullptr;
        }
        line->m_link = link;
    }
    return line;
}

std::unique_ptr<Line> Line::OpenDevice(const std::string& path, std::string* error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = Why("cannot open " + path);
        return nullptr;
    }
    std::unique_ptr<Line> line(new Line(fd, path, false));
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        *error = Why("cannot take " + path + " for ourselves");
        return nullptr;
    }
    if (!SetRaw(fd)) {
        *error = Why("cannot set " + path + " to 115200 8N1");
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return line;
}

Line::~Line() {
    if (!m_link.empty()) {
        char target[PATH_MAX];
        ssize_t n = readlink(m_link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == m_path)
            unlink(m_link.c_str());
    }
    if (!m_pty)
        ioctl(m_fd, TIOCNXCL);
    close(m_fd);
}

} // namespace ksim
