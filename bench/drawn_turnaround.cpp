// What drawing the dialog costs the line. The host's turnaround is the time from the last byte
// of a reply read to the first byte of the next request written; during an update the program
// draws the progress bar (and the status line) in it. This program flashes a 60 KiB OD image
// (960 blocks of 64 bytes) into `korvane-sim --baud 115200` three ways, each with a serial
// trace (CE_TRACE), and gives the turnaround before each Program request from the trace:
//
//   stack     the commands alone in this process (Erase, every Program, GetStatus): nothing drawn
//   terminal  the real korvane, its terminal dialog in tmux, worked with keys as an operator does
//   window    the real korvane, its FLTK window on Xvfb, worked with xdotool
//
// The two dialog runs include the update's two 2000 ms waits. The turnaround is read from the
// trace's own time stamps, so the trace's cost (a line written and flushed per read byte) is in
// all three alike.
//
//     build/bench_drawn_turnaround                 # all three; about 30 s
//     build/bench_drawn_turnaround --only terminal
#include "bench/FlashImages.h"
#include "ce_trace.h"
#include "link/SlaveLink.h"
#include "protocol/FrameTransport.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "tests/SimHarness.h"
#include "tests/TerminalHarness.h"
#include "tests/WindowHarness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const size_t kImageBytes = 60 * 1024;
const std::vector<std::string> kSimArgs = {"--baud", "115200"};
const int kFlashMs = 60000;

struct Turnarounds {
    std::string error;
    std::vector<double> us; // before each Program request but the first
};

// "[   12345.678] COM6: R 1 7E": the stamp in microseconds, the direction and the byte count.
bool ParseTraceLine(const std::string& line, double* us, std::string* direction, size_t* bytes) {
    if (line.empty() || line[0] != '[')
        return false;
    const size_t close = line.find("] ");
    if (close == std::string::npos)
        return false;
    *us = std::strtod(line.c_str() + 1, nullptr) * 1000.0;
    std::istringstream words(line.substr(close + 2));
    std::string port, amount;
    words >> port >> *direction >> amount;
    *bytes = std::strtoul(amount.c_str(), nullptr, 10);
    return true;
}

// A Program request to the OD slave is 77 bytes or more on the wire; nothing else is as long.
Turnarounds FromTrace(const std::string& path) {
    Turnarounds found;
    std::ifstream in(path);
    std::string line;
    double lastRead = -1;
    int programs = 0;
    while (std::getline(in, line)) {
        double us = 0;
        std::string direction;
        size_t bytes = 0;
        if (!ParseTraceLine(line, &us, &direction, &bytes))
            continue;
        if (direction == "R" && bytes > 0) {
            lastRead = us;
        } else if (direction == "W") {
            if (bytes >= 77 && programs++ > 0 && lastRead >= 0)
                found.us.push_back(us - lastRead);
            lastRead = -1;
        }
    }
    if (found.us.empty())
        found.error = "no Program requests in the trace " + path;
    return found;
}

void ReplaceImage(const std::string& dir, const std::string& target, std::string* error) {
    const benchsim::FlashImage made = benchsim::MakeImage(dir, true, kImageBytes, 0, 7);
    if (!made.ok) {
        *error = "objcopy could not make the image";
        return;
    }
    std::ifstream from(made.path, std::ios::binary);
    std::ofstream(target, std::ios::binary | std::ios::trunc) << from.rdbuf();
}

void TearDownStack() {
    delete g_slaveProtocol;
    g_slaveProtocol = nullptr;
    delete g_frameTransport;
    g_frameTransport = nullptr;
    delete g_slaveLink;
    g_slaveLink = nullptr;
}

// The commands alone: what the update sends, without the dialog and the waits.
Turnarounds RunStack() {
    simtest::Sim sim(kSimArgs, false);
    if (!sim.Ok())
        return {"korvane-sim did not start", {}};
    const benchsim::FlashImage made = benchsim::MakeImage(sim.Dir(), true, kImageBytes, 0, 7);
    if (!made.ok)
        return {"objcopy could not make the image", {}};
    setenv("CE_COM6", sim.Path().c_str(), 1);
    const std::string trace = sim.Dir() + "/stack.trace";
    ce::SetTraceFile(trace.c_str());
    CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
    std::string error;
    if (!protocol) {
        error = "the port did not open";
    } else if (protocol->Erase(1, made.start) != ERR_OK) {
        error = "Erase failed";
    } else {
        for (UINT at = 0; at < made.Length() && error.empty(); at += 64) {
            if (protocol->Program(1, WORD(made.start + at), made.image.data() + made.start + at,
                                  64) != ERR_OK)
                error = "Program failed";
        }
        protocol->Reset(1);
        BYTE status = 0xFF;
        protocol->GetStatus(1, &status);
    }
    ce::SetTraceFile(nullptr);
    TearDownStack();
    if (!error.empty())
        return {error, {}};
    return FromTrace(trace);
}

Turnarounds RunTerminal() {
    if (!termtest::HaveTmux())
        return {"tmux is missing (scripts/install-deps installs it)", {}};
    termtest::Rig rig(kSimArgs, 0x100);
    if (!rig.Ok())
        return {rig.Why(), {}};
    std::string error;
    ReplaceImage(rig.Folder(), rig.ImagePath(), &error);
    if (!error.empty())
        return {error, {}};
    const std::string trace = rig.Folder() + "/terminal.trace";
    // The pane's program inherits the tmux server's environment, which this process starts.
    setenv("CE_TRACE", trace.c_str(), 1);
    setenv("KORVANE_UI", "terminal", 1);
    const bool started = rig.StartKorvane(80, 24);
    unsetenv("CE_TRACE");
    unsetenv("KORVANE_UI");
    termtest::Tmux& pane = rig.Pane();
    if (!started || !pane.WaitFor("Flash!", 10000))
        return {"korvane did not show its dialog in tmux", {}};
    // From the file field: Tab to "OD", check it, back to "Flash!" and press it.
    pane.Keys(
        {"Tab", "Tab", "Tab", "Tab", "Tab", "Space", "BTab", "BTab", "BTab", "BTab", "Enter"});
    std::string screen;
    if (!pane.WaitFor("Update succeeded!", kFlashMs, &screen))
        return {"the update did not succeed:\n" + screen, {}};
    pane.Keys({"Enter"});
    pane.WaitFor("Update sucessfully completed", 5000);
    pane.Keys({"Escape"});
    pane.WaitFor("korvane-exit=", 5000);
    return FromTrace(trace);
}

Turnarounds RunWindow() {
    const std::string missing = wintest::Missing();
    if (!missing.empty())
        return {missing, {}};
    wintest::Rig rig(kSimArgs, 0x100);
    if (!rig.Ok())
        return {rig.Why(), {}};
    const std::string dir = rig.ImagePath().substr(0, rig.ImagePath().rfind('/'));
    std::string error;
    ReplaceImage(dir, rig.ImagePath(), &error);
    if (!error.empty())
        return {error, {}};
    const std::string trace = dir + "/window.trace";
    if (!rig.Start("CE_TRACE=" + simtest::ShellQuote(trace) + " KORVANE_UI=window"))
        return {"korvane did not start", {}};
    const unsigned long window = rig.X().WaitWindow("Korvane", 10000);
    if (!window)
        return {"no window:\n" + rig.Output(), {}};
    rig.X().Keys(window, {"Tab", "Tab", "Tab", "Tab", "Tab", "space", "shift+Tab", "shift+Tab",
                          "shift+Tab", "shift+Tab", "space"});
    const unsigned long box = rig.X().WaitWindow("KorvaneMessageBox", kFlashMs);
    if (!box)
        return {"no box after the update:\n" + rig.Output(), {}};
    rig.X().Keys(box, {"Return"});
    rig.X().WaitGone("KorvaneMessageBox", 5000);
    rig.X().Keys(window, {"Escape"});
    rig.WaitExit(5000);
    return FromTrace(trace);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

double Load() {
    double load = -1;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = -1;
        std::fclose(f);
    }
    return load;
}

} // namespace

int main(int argc, char** argv) {
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--only stack|terminal|window]\n", argv[0]);
            return 2;
        }
    }
    struct Way {
        const char* name;
        Turnarounds (*run)();
    };
    const Way ways[] = {{"stack", RunStack}, {"terminal", RunTerminal}, {"window", RunWindow}};
    std::printf("60 KiB OD flash at 115200 baud; load average %.2f on %ld cores\n", Load(),
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-9s %8s %10s %10s %10s\n", "", "requests", "median us", "p90 us", "max us");
    int failed = 0;
    for (const Way& way : ways) {
        if (!only.empty() && only != way.name)
            continue;
        const Turnarounds t = way.run();
        if (!t.error.empty()) {
            std::printf("%-9s not measured: %s\n", way.name, t.error.c_str());
            ++failed;
            continue;
        }
        std::printf("%-9s %8zu %10.1f %10.1f %10.1f\n", way.name, t.us.size() + 1,
                    Percentile(t.us, 0.5), Percentile(t.us, 0.9),
                    *std::max_element(t.us.begin(), t.us.end()));
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}
