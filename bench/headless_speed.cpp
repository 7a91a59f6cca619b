// Whether `korvane flash` is as fast as the dialog it runs without a screen. Flashes the largest
// OD image (0xFFFF bytes, 1024 blocks) and the largest Stepper image (0x7FFF words, 512 blocks)
// into `korvane-sim --baud 115200` three ways, with the real korvane program each time:
//
//   headless  korvane flash --record, its output to files, as a script runs it
//   tty       the same in a tmux pane, where it draws its progress line on standard error
//   terminal  the terminal dialog in tmux, worked with keys as an operator does
//   window    the FLTK window on Xvfb, worked with xdotool
//
// Two intervals per flash, both including the update's two 2000 ms waits (OD; one for Stepper):
//
//   update  "Flash!" to the end of the update: the record's `seconds` for the headless run; for
//           a dialog, from the key that presses "Flash!" (after tmux or xdotool has delivered
//           it) to the first sight of the "Update succeeded!" box, which is where the headless
//           back end's box returns at once
//   line    the simulator's own clock, from the first request it heard to the GetStatus: the
//           same interval for every way, with no harness latency in it
//
// Host CPU: the whole headless process (wait4, or the shell's `times` in tmux); for a dialog, what
// its process used between those two points (/proc/PID/stat, 10 ms ticks).
//
//     build/bench_headless_speed                        # both images, all ways, 3 repetitions
//     build/bench_headless_speed --repeat 5 --only terminal --image od
#include "bench/FlashImages.h"
#include "bench/Median.h"
#include "tests/SimHarness.h"
#include "tests/TerminalHarness.h"
#include "tests/WindowHarness.h"
#include "tests/support/Files.h"
#include "tests/support/SimProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::Field;
using testsupport::MonoUs;

const std::vector<std::string> kSimArgs = {"--baud", "115200"};
const int kFlashMs = 60000;
const char kStepperSlave[] = "0x14"; // the dialog's first entry

struct Run {
    std::string error;
    double updateS = 0; // "Flash!" to the end of the update
    double lineS = 0;   // the simulator's first request to its GetStatus
    double cpuS = 0;    // host CPU of the korvane process
};

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The simulator's clock from the first request it logged to the GetStatus; 0 when it has none.
double LineSeconds(const std::vector<std::string>& log) {
    double first = -1, status = -1;
    for (const std::string& line : log) {
        if (Field(line, "event") != "request")
            continue;
        const double t = std::strtod(Field(line, "t").c_str(), nullptr);
        if (first < 0)
            first = t;
        if (Field(line, "command") == "GetStatus")
            status = t;
    }
    return first >= 0 && status >= first ? status - first : 0;
}

bool HasGetStatus(const std::vector<std::string>& log) {
    for (const std::string& line : log)
        if (Field(line, "command") == "GetStatus")
            return true;
    return false;
}

// Waits (bounded) until the simulator has heard the update's GetStatus.
bool WaitGetStatus(simtest::Sim& sim, int ms) {
    const int64_t end = MonoUs() + int64_t(ms) * 1000;
    while (!HasGetStatus(sim.LogLines())) {
        if (MonoUs() > end)
            return false;
        Pause(20);
    }
    return true;
}

// User plus system time of a running process, from /proc (clock ticks); -1 when unreadable.
double ProcCpuSeconds(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::strtoul(field.c_str(), nullptr, 10);
        if (n == 15)
            stime = std::strtoul(field.c_str(), nullptr, 10);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The korvane program among this process's children (the window rig starts it), or -1.
int KorvaneChild() {
    const std::string children =
        testsupport::Slurp("/proc/self/task/" + std::to_string(getpid()) + "/children");
    std::istringstream pids(children);
    int pid = 0;
    while (pids >> pid) {
        char exe[4096];
        const ssize_t n =
            readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
        if (n > 0) {
            exe[n] = 0;
            const std::string path = exe;
            if (path.size() >= 8 && path.compare(path.size() - 8, 8, "/korvane") == 0)
                return pid;
        }
    }
    return -1;
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return bool(in) && bool(out);
}

// korvane flash's arguments for this image into the simulator, with a record file.
std::vector<std::string> FlashArgs(const benchsim::FlashImage& image, const std::string& port,
                                   const std::string& record) {
    std::vector<std::string> args = {testsupport::ProgramDir() + "/korvane", "flash"};
    if (image.od) {
        args.push_back("--od");
    } else {
        args.push_back("--stepper");
        args.push_back(kStepperSlave);
    }
    for (const std::string& a :
         {std::string("--port"), port, std::string("--record"), record, image.path})
        args.push_back(a);
    return args;
}

Run RunHeadless(const benchsim::FlashImage& image, const std::string& dir) {
    simtest::Sim sim(kSimArgs, false);
    if (!sim.Ok())
        return {"korvane-sim did not start"};
    const std::string record = sim.Dir() + "/record.jsonl";
    std::vector<std::string> args = FlashArgs(image, sim.Path(), record);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open((dir + "/headless.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int none = open("/dev/null", O_RDONLY);
        dup2(none, 0);
        dup2(out, 1);
        dup2(out, 2);
        testsupport::ExecOrExit(args);
    }
    if (pid < 0)
        return {"fork failed"};
    int status = 0;
    rusage usage{};
    const int64_t end = MonoUs() + int64_t(kFlashMs) * 1000;
    pid_t done = 0;
    while ((done = wait4(pid, &status, WNOHANG, &usage)) == 0 && MonoUs() < end)
        Pause(5);
    if (done == 0) {
        kill(pid, SIGKILL);
        wait4(pid, &status, 0, &usage);
        return {"korvane flash did not end"};
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {"korvane flash failed:\n" + testsupport::Slurp(dir + "/headless.out")};
    Run run;
    const std::string line = testsupport::Slurp(record);
    run.updateS = std::strtod(Field(line, "seconds").c_str(), nullptr);
    run.cpuS = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.lineS = LineSeconds(sim.LogLines());
    return run;
}

// korvane flash in a tmux pane: standard error a terminal, so it draws its progress line. The
// shell's `times` gives the program's CPU (10 ms ticks).
Run RunHeadlessTty(const benchsim::FlashImage& image) {
    if (!termtest::HaveTmux())
        return {"tmux is missing (scripts/install-deps installs it)"};
    simtest::Sim sim(kSimArgs, false);
    if (!sim.Ok())
        return {"korvane-sim did not start"};
    const std::string record = sim.Dir() + "/record.jsonl";
    const std::string cpu = sim.Dir() + "/times";
    std::string command;
    for (const std::string& a : FlashArgs(image, sim.Path(), record))
        command += simtest::ShellQuote(a) + " ";
    command += "; times >" + simtest::ShellQuote(cpu) + "; sleep 60";
    termtest::Tmux pane;
    if (!pane.Start(command, 80, 24, sim.Dir()))
        return {"tmux did not start korvane flash"};
    const int64_t end = MonoUs() + int64_t(kFlashMs) * 1000;
    std::string times;
    while ((times = testsupport::Slurp(cpu)).find('\n', times.find('\n') + 1) ==
           std::string::npos) {
        if (MonoUs() > end)
            return {"korvane flash did not end in tmux:\n" + pane.Screen()};
        Pause(20);
    }
    const std::string line = testsupport::Slurp(record);
    if (Field(line, "exit") != "0")
        return {"korvane flash failed in tmux:\n" + pane.Screen()};
    Run run;
    run.updateS = std::strtod(Field(line, "seconds").c_str(), nullptr);
    // The second line: the children's user and system time, "0m0.190000s 0m0.020000s".
    double minutes[2] = {}, seconds[2] = {};
    std::sscanf(times.c_str() + times.find('\n') + 1, "%lfm%lfs %lfm%lfs", &minutes[0], &seconds[0],
                &minutes[1], &seconds[1]);
    run.cpuS = 60 * (minutes[0] + minutes[1]) + seconds[0] + seconds[1];
    run.lineS = LineSeconds(sim.LogLines());
    return run;
}

// The interval and CPU of one dialog flash: `press` presses "Flash!", `boxShown` says whether the
// success box is up yet (asked again without a pause once the GetStatus was heard).
template <typename Press, typename BoxShown>
Run TimeDialogFlash(simtest::Sim& sim, int pid, Press press, BoxShown boxShown) {
    Run run;
    const double cpuBefore = ProcCpuSeconds(pid);
    press();
    const int64_t t0 = MonoUs();
    if (!WaitGetStatus(sim, kFlashMs))
        return {"the update sent no GetStatus"};
    const int64_t end = MonoUs() + 10000000;
    while (!boxShown()) {
        if (MonoUs() > end)
            return {"no success box after the GetStatus"};
    }
    run.updateS = double(MonoUs() - t0) / 1e6;
    run.cpuS = ProcCpuSeconds(pid) - cpuBefore;
    run.lineS = LineSeconds(sim.LogLines());
    return run;
}

Run RunTerminal(const benchsim::FlashImage& image) {
    if (!termtest::HaveTmux())
        return {"tmux is missing (scripts/install-deps installs it)"};
    termtest::Rig rig(kSimArgs, 0x100);
    if (!rig.Ok())
        return {rig.Why()};
    if (!CopyFile(image.path, rig.ImagePath()))
        return {"the image could not be put in place"};
    setenv("KORVANE_UI", "terminal", 1);
    const bool started = rig.StartKorvane(80, 24);
    unsetenv("KORVANE_UI");
    termtest::Tmux& pane = rig.Pane();
    if (!started || !pane.WaitFor("Flash!", 10000))
        return {"korvane did not show its dialog in tmux"};
    // From the file field: for OD, Tab to "OD", check it and come back; then onto "Flash!".
    if (image.od)
        pane.Keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Space", "BTab", "BTab", "BTab", "BTab"});
    else
        pane.Keys({"Tab"});
    Pause(300);
    const int pid = rig.KorvanePid();
    Run run = TimeDialogFlash(
        rig.Sim(), pid, [&] { pane.Keys({"Enter"}); },
        [&] { return pane.Screen().find("Update succeeded!") != std::string::npos; });
    pane.Keys({"Enter"});
    pane.WaitFor("Update sucessfully completed", 5000);
    pane.Keys({"Escape"});
    pane.WaitFor("korvane-exit=", 5000);
    return run;
}

Run RunWindow(const benchsim::FlashImage& image) {
    const std::string missing = wintest::Missing();
    if (!missing.empty())
        return {missing};
    wintest::Rig rig(kSimArgs, 0x100);
    if (!rig.Ok())
        return {rig.Why()};
    if (!CopyFile(image.path, rig.ImagePath()))
        return {"the image could not be put in place"};
    if (!rig.Start("KORVANE_UI=window"))
        return {"korvane did not start"};
    const unsigned long window = rig.X().WaitWindow("Korvane", 10000);
    if (!window)
        return {"no window:\n" + rig.Output()};
    if (image.od)
        rig.X().Keys(window, {"Tab", "Tab", "Tab", "Tab", "Tab", "space", "shift+Tab", "shift+Tab",
                              "shift+Tab", "shift+Tab"});
    else
        rig.X().Keys(window, {"Tab"});
    Pause(300);
    Run run = TimeDialogFlash(
        rig.Sim(), KorvaneChild(), [&] { rig.X().Keys(window, {"space"}); },
        [&] { return !rig.X().Run("xdotool search --class '^KorvaneMessageBox$'").empty(); });
    if (const unsigned long box = rig.X().WaitWindow("KorvaneMessageBox", 5000)) {
        rig.X().Keys(box, {"Return"});
        rig.X().WaitGone("KorvaneMessageBox", 5000);
    }
    rig.X().Keys(window, {"Escape"});
    rig.WaitExit(5000);
    return run;
}

using benchsim::Median;

struct Way {
    const char* name;
    std::vector<Run> runs;
    double Update() const { return Median(Collect(&Run::updateS)); }
    double Line() const { return Median(Collect(&Run::lineS)); }
    double Cpu() const { return Median(Collect(&Run::cpuS)); }
    std::vector<double> Collect(double Run::*field) const {
        std::vector<double> values;
        for (const Run& run : runs)
            values.push_back(run.*field);
        return values;
    }
};

// The medians of each way; each dialog's row adds the headless ways' medians over its own
// (update and line), below 1 where the headless flash is the faster.
void Report(const benchsim::FlashImage& image, const std::vector<Way>& ways) {
    std::printf("%s, %u blocks: medians\n", image.od ? "OD" : "Stepper", image.Blocks());
    std::printf("  %-9s %4s %9s %9s %7s   %-27s %-27s\n", "", "runs", "update s", "line s", "CPU s",
                "headless/dialog upd, line", "tty/dialog upd, line");
    for (const Way& way : ways) {
        if (way.runs.empty())
            continue;
        std::printf("  %-9s %4zu %9.3f %9.3f %7.3f", way.name, way.runs.size(), way.Update(),
                    way.Line(), way.Cpu());
        const bool dialog =
            std::strcmp(way.name, "terminal") == 0 || std::strcmp(way.name, "window") == 0;
        for (int i = 0; dialog && i < 2; ++i) {
            if (!ways[i].runs.empty())
                std::printf("   %.4f, %.4f%13s", ways[i].Update() / way.Update(),
                            ways[i].Line() / way.Line(), "");
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string only, imageOnly;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(argv[i], "--only") == 0 && value) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--image") == 0 && value) {
            imageOnly = argv[++i];
        } else if (std::strcmp(argv[i], "--repeat") == 0 && value) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: %s [--only headless|tty|terminal|window] [--image od|stepper] "
                         "[--repeat N]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::string dir = testsupport::MakeTempDir("korvane-headless-speed");
    if (dir.empty())
        return 1;
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("115200 baud; load average %.2f %.2f %.2f on %ld cores\n", load[0], load[1],
                    load[2], sysconf(_SC_NPROCESSORS_ONLN));
    int failed = 0;
    for (const bool od : {true, false}) {
        if (!imageOnly.empty() && imageOnly != (od ? "od" : "stepper"))
            continue;
        const std::string imageDir = dir + (od ? "/od" : "/stepper");
        mkdir(imageDir.c_str(), 0700);
        // The largest ranges the loader takes: OD 0xFFFF bytes from 0, Stepper 0x7FFF words.
        const benchsim::FlashImage image =
            benchsim::MakeImage(imageDir, od, od ? 0xFFFF : 0xFFFE, 0, od ? 1 : 2);
        if (!image.ok) {
            std::printf("%s: the image could not be made\n", od ? "OD" : "Stepper");
            ++failed;
            continue;
        }
        std::vector<Way> ways = {{"headless", {}}, {"tty", {}}, {"terminal", {}}, {"window", {}}};
        // Interleaved, so that a change in the machine's load falls on every way alike.
        for (int i = 0; i < repeat; ++i) {
            for (Way& way : ways) {
                if (!only.empty() && only != way.name)
                    continue;
                const std::string name = way.name;
                const Run run = name == "headless"   ? RunHeadless(image, dir)
                                : name == "tty"      ? RunHeadlessTty(image)
                                : name == "terminal" ? RunTerminal(image)
                                                     : RunWindow(image);
                if (!run.error.empty()) {
                    std::printf("  %s: not measured: %s\n", way.name, run.error.c_str());
                    ++failed;
                    continue;
                }
                std::printf("  %-9s update %.3f s, line %.3f s, CPU %.3f s\n", way.name,
                            run.updateS, run.lineS, run.cpuS);
                std::fflush(stdout);
                way.runs.push_back(run);
            }
        }
        Report(image, ways);
        std::fflush(stdout);
    }
    if (getloadavg(load, 3) == 3)
        std::printf("load average at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::system(("rm -rf '" + dir + "'").c_str());
    return failed ? 1 : 0;
}
