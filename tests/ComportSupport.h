// Helpers for the serial port tests: a pseudo-terminal pair standing in for a serial line,
// and a COMn: mapping to a host path for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace comport_test {

// A pty pair. The slave end is what the port opens (by path); the test plays the peer on the
// master end and looks at the line settings through its own descriptor on the slave.
class Pty {
public:
    Pty() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty: " << errno;
            return;
        }
        m_path = name;
        // A serial line is raw: no line editing and no echo while the port is not yet set up.
        termios tio;
        tcgetattr(m_slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    ~Pty() {
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // The peer goes away.
    void CloseMaster() {
        close(m_master);
        m_master = -1;
    }
    const std::string& Path() const { return m_path; }
    int Master() const { return m_master; }
    int Slave() const { return m_slave; }

    termios Settings() const {
        termios tio{};
        tcgetattr(m_slave, &tio);
        return tio;
    }
    void Send(const std::vector<unsigned char>& bytes) const {
        ASSERT_EQ(write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What the port wrote, waiting up to timeoutMs for the first byte.
    std::vector<unsigned char> Receive(int timeoutMs = 200) const {
        std::vector<unsigned char> got;
        pollfd pfd{m_master, POLLIN, 0};
        while (poll(&pfd, 1, got.empty() ? timeoutMs : 20) > 0) {
            unsigned char chunk[4096];
            const ssize_t n = read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }
    // Bytes waiting for the port in the slave's input queue.
    int InputQueued() const {
        int n = -1;
        ioctl(m_slave, FIONREAD, &n);
        return n;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Sets CE_COM<n> for the lifetime of the object.
class PortMapping {
public:
    PortMapping(int port, const std::string& path) : m_name("CE_COM" + std::to_string(port)) {
        if (const char* old = getenv(m_name.c_str())) {
            m_hadOld = true;
            m_old = old;
        }
        setenv(m_name.c_str(), path.c_str(), 1);
    }
    ~PortMapping() {
        if (m_hadOld)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    PortMapping(const PortMapping&) = delete;
    PortMapping& operator=(const PortMapping&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_hadOld = false;
};

} // namespace comport_test
