#include "tests/TerminalHarness.h"

#include "tests/support/Files.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace termtest {

namespace {

using testsupport::Slurp;

int CountOf(const std::string& line, const std::string& what) {
    int count = 0;
    for (size_t at = line.find(what); at != std::string::npos;
         at = line.find(what, at + what.size()))
        ++count;
    return count;
}

} // namespace

bool HaveTmux() {
    return std::system("tmux -V >/dev/null 2>&1") == 0;
}

Tmux::Tmux() {
    static int s_count = 0;
    m_socket = "korvane-test-" + std::to_string(getpid()) + "-" + std::to_string(++s_count);
}

Tmux::~Tmux() {
    Tool("kill-server");
}

std::string Tmux::Tool(const std::string& arguments) const {
    return simtest::ShellOutput("LANG=C.UTF-8 tmux -L " + m_socket + " -f /dev/null " + arguments +
                                " 2>/dev/null");
}

bool Tmux::Start(const std::string& command, int cols, int rows, const std::string& cwd) {
    Tool("new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) + " -c " +
         simtest::ShellQuote(cwd) + " " + simtest::ShellQuote(command));
    return !Tool("list-panes").empty();
}

std::string Tmux::Screen() const {
    return Tool("capture-pane -p");
}

void Tmux::Keys(const std::vector<std::string>& keys) const {
    std::string line = "send-keys";
    for (const std::string& key : keys)
        line += " " + key;
    Tool(line);
}

void Tmux::Type(const std::string& text) const {
    Tool("send-keys -l " + simtest::ShellQuote(text));
}

void Tmux::Bytes(const std::vector<unsigned char>& bytes) const {
    std::string line = "send-keys -H";
    char hex[8];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        line += hex;
    }
    Tool(line);
}

void Tmux::Resize(int cols, int rows) const {
    Tool("resize-window -x " + std::to_string(cols) + " -y " + std::to_string(rows));
}

bool Tmux::WaitFor(const std::string& text, int ms, std::string* screen) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const std::string shown = Screen();
        if (screen)
            *screen = shown;
        if (shown.find(text) != std::string::npos)
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int Tmux::PanePid() const {
    const std::string pid = Tool("list-panes -F '#{pane_pid}'");
    return pid.empty() ? -1 : std::atoi(pid.c_str());
}

std::string LineWith(const std::string& screen, const std::string& text) {
    std::istringstream lines(screen);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(text) != std::string::npos)
            return line;
    }
    return "";
}

int ProgressCells(const std::string& screen, int* total) {
    std::istringstream lines(screen);
    std::string line;
    int best = -1, filled = -1;
    while (std::getline(lines, line)) {
        const int full = CountOf(line, "\u2588") + CountOf(line, "#");
        const int empty = CountOf(line, "\u2591");
        if (full + empty > best && full + empty >= 10) {
            best = full + empty;
            filled = full;
        }
    }
    if (total)
        *total = best;
    return filled;
}

std::string PortFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return "cannot open";
    int exclusive = 0;
    std::string why;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        why = "locked";
    else if (ioctl(fd, TIOCGEXCL, &exclusive) != 0 || exclusive)
        why = "exclusive";
    close(fd);
    return why;
}

Rig::Rig(const std::vector<std::string>& simArgs, size_t imageBytes) {
    m_sim = std::make_unique<simtest::Sim>(simArgs, false);
    if (!m_sim->Ok()) {
        m_error = "korvane-sim did not start";
        return;
    }
    m_dir = m_sim->Dir() + "/ce";
    m_error = simtest::WriteStepperImage(m_dir, imageBytes, "Stepper test firmware. ");
}

Rig::~Rig() = default;

std::string Rig::ImagePath() const {
    return m_dir + "/Nand Store/MCU/Application.hex";
}

bool Rig::StartKorvane(int cols, int rows, const std::string& port) {
    // The shell outlives a Ctrl+C, as an operator's interactive one does.
    const std::string command =
        "trap : INT; stty -g >" + simtest::ShellQuote(m_dir + "/stty-before") +
        "; env CE_ROOT=" + simtest::ShellQuote(m_dir) +
        " CE_COM6=" + simtest::ShellQuote(port.empty() ? m_sim->Path() : port) +
        " KORVANE_LOG=" + simtest::ShellQuote(LogPath()) + " LANG=C.UTF-8 " +
        simtest::ShellQuote(KORVANE_BINARY_DIR "/korvane") + "; status=$?; stty -g >" +
        simtest::ShellQuote(m_dir + "/stty-after") + "; echo korvane-exit=$status; exec sleep 600";
    return m_tmux.Start(command, cols, rows, m_dir + "/Nand Store/MCU");
}

std::string Rig::SettingsBefore() const {
    return Slurp(m_dir + "/stty-before");
}

std::string Rig::SettingsAfter() const {
    return Slurp(m_dir + "/stty-after");
}

int Rig::KorvanePid() const {
    const int shell = m_tmux.PanePid();
    if (shell < 0)
        return -1;
    const std::string children =
        Slurp("/proc/" + std::to_string(shell) + "/task/" + std::to_string(shell) + "/children");
    return children.empty() ? -1 : std::atoi(children.c_str());
}

} // namespace termtest
