// The simulator's end of the line: a new pseudo-terminal (the host opens its other end), or a
// serial device, at 115200 baud 8N1, raw, without flow control.
#pragma once

#include <memory>
#include <string>

namespace ksim {

class Line {
public:
    // A new pty; its path is what the host opens. With `link`, a symbolic link to that path
    // is made there (an old link is replaced; any other file is left alone and refused).
    static std::unique_ptr<Line> OpenPty(const std::string& link, std::string* error);
    // A serial device, for a host at the far end of a null-modem cable.
    static std::unique_ptr<Line> OpenDevice(const std::string& path, std::string* error);
    ~Line();

    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    bool IsPty() const { return m_pty; }

private:
    Line(int fd, std::string path, bool pty) : m_fd(fd), m_path(std::move(path)), m_pty(pty) {}

    int m_fd;
    std::string m_path;
    bool m_pty;
    std::string m_link; // removed at the end if it still points at our pty
};

} // namespace ksim
