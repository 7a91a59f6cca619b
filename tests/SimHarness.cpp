#include "SimHarness.h"

#include "tests/support/Files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

Bytes Frame(uint8_t slave, uint8_t id, const Bytes& value) {
    Bytes body = {slave, 0x13, 0x02, 0x00, uint8_t(value.size() + 2), id, uint8_t(value.size())};
    body.insert(body.end(), value.begin(), value.end());
    uint16_t fcs = Fcs16(body);
    body.push_back(uint8_t(fcs & 0xff));
    body.push_back(uint8_t(fcs >> 8));
    return Escape(body);
}

Bytes Word(uint16_t value) {
    return {uint8_t(value >> 8), uint8_t(value & 0xff)};
}

Parsed Parse(const Bytes& wire) {
    Parsed p;
    if (wire.size() < 2 || wire.front() != 0x7e || wire.back() != 0x7e)
        return p;
    p.framed = true;
    for (size_t i = 1; i + 1 < wire.size(); ++i) {
        uint8_t b = wire[i];
        if (b == 0x7d && i + 2 < wire.size())
            b = uint8_t(wire[++i] ^ 0x20);
        p.body.push_back(b);
    }
    if (p.body.size() < 9)
        return p;
    Bytes covered(p.body.begin(), p.body.end() - 2);
    uint16_t fcs = uint16_t(p.body[p.body.size() - 2] | (p.body.back() << 8));
    p.fcsOk = Fcs16(covered) == fcs;
    p.slave = p.body[0];
    p.id = p.body[5];
    size_t n = p.body[6];
    if (7 + n <= covered.size())
        p.value.assign(p.body.begin() + 7, p.body.begin() + 7 + long(n));
    return p;
}

std::map<uint32_t, uint8_t> LoadHex(const std::string& path, unsigned unit, bool* ok) {
    std::map<uint32_t, uint8_t> memory;
    std::ifstream in(path);
    *ok = bool(in);
    bool ended = false;
    std::string line;
    while (*ok && std::getline(in, line)) {
        if (line.empty() || line[0] != ':' || line.size() < 11 || ended) {
            *ok = false;
            break;
        }
        Bytes rec;
        for (size_t i = 1; i + 1 < line.size(); i += 2)
            rec.push_back(uint8_t(std::stoul(line.substr(i, 2), nullptr, 16)));
        unsigned sum = 0;
        for (uint8_t b : rec)
            sum += b;
        if ((sum & 0xff) != 0 || rec.size() != size_t(rec[0]) + 5) {
            *ok = false;
            break;
        }
        uint32_t address = uint32_t(rec[1] << 8 | rec[2]);
        if (rec[3] == 1) {
            ended = true;
        } else if (rec[3] == 0) {
            for (size_t i = 0; i < rec[0]; ++i)
                memory[address * unit + uint32_t(i)] = rec[4 + i];
        } else {
            *ok = false;
        }
    }
    *ok = *ok && ended;
    return memory;
}

Sim::Sim(const std::vector<std::string>& args, bool open) : m_open(open) {
    m_dir = testsupport::MakeTempDir("korvane-simtest");
    if (m_dir.empty())
        return;
    m_process = std::make_unique<testsupport::SimProcess>(args, m_dir);
    if (!m_process->Ok() || !open)
        return;
    m_fd = ::open(Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd >= 0) {
        // Our own end raw as well, whatever the pty was left with.
        termios t;
        tcgetattr(m_fd, &t);
        cfmakeraw(&t);
        tcsetattr(m_fd, TCSANOW, &t);
    }
}

Sim::~Sim() {
    if (m_fd >= 0)
        close(m_fd);
    m_process.reset(); // kills the simulator if it still runs
    if (!m_dir.empty())
        std::system(("rm -rf '" + m_dir + "'").c_str());
}

void Sim::Write(const Bytes& bytes) {
    size_t done = 0;
    int64_t end = MonoUs() + 2000000;
    while (done < bytes.size() && MonoUs() < end) {
        ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else {
            pollfd p = {m_fd, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
}

Bytes Sim::ReadFrame(int ms, Bytes* before) {
    Bytes frame;
    int64_t end = MonoUs() + int64_t(ms) * 1000;
    while (MonoUs() < end) {
        pollfd p = {m_fd, POLLIN, 0};
        int wait = int((end - MonoUs()) / 1000) + 1;
        if (poll(&p, 1, wait) <= 0)
            continue;
        uint8_t b;
        if (read(m_fd, &b, 1) != 1)
            continue;
        if (frame.empty() && b != 0x7e) {
            if (before)
                before->push_back(b);
            continue;
        }
        frame.push_back(b);
        if (frame.size() > 1 && b == 0x7e)
            return frame;
    }
    return frame.size() > 1 ? frame : Bytes();
}

Bytes Sim::ReadFor(int ms) {
    Bytes all;
    int64_t end = MonoUs() + int64_t(ms) * 1000;
    while (MonoUs() < end) {
        pollfd p = {m_fd, POLLIN, 0};
        if (poll(&p, 1, int((end - MonoUs()) / 1000) + 1) <= 0)
            continue;
        uint8_t buffer[4096];
        ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            all.insert(all.end(), buffer, buffer + n);
    }
    return all;
}

void Sim::CloseHost() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

int Sim::WaitExit(int ms) {
    return m_process ? m_process->WaitExit(ms) : -1;
}

int Sim::Stop(int sig) {
    return m_process ? m_process->Stop(sig, 3000) : -1;
}

std::vector<std::string> Sim::Requests() const {
    std::vector<std::string> out;
    for (const std::string& line : LogLines())
        if (Field(line, "event") == "request")
            out.push_back(line);
    return out;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Sha256Sum(const std::string& path) {
    return ShellOutput("sha256sum " + ShellQuote(path)).substr(0, 64);
}

std::string ShellOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::string WriteStepperImage(const std::string& ceRoot, size_t bytes, const std::string& text) {
    const std::string mcu = ceRoot + "/Nand Store/MCU";
    char size[32];
    std::snprintf(size, sizeof size, "0x%zx", bytes);
    const std::string make = "mkdir -p " + ShellQuote(mcu) + " && cd " + ShellQuote(mcu) +
                             " && srec_cat -generate 0 " + size + " -repeat-string " +
                             ShellQuote(text) +
                             " -o image.s19 -Motorola 2 -Output_Block_Size 16"
                             " && objcopy -I srec -O ihex image.s19 Application.hex"
                             " && rm image.s19";
    if (std::system(make.c_str()) != 0)
        return "srec_cat or objcopy failed (scripts/install-deps installs srecord, binutils)";
    return "";
}

} // namespace simtest
