// What flashing several boards at once costs against flashing one. Starts 8 korvane-sim
// processes paced at 115200 baud, each on its own pty, makes the largest Stepper image the loader
// takes (0x7FFF words, 65534 bytes, 512 blocks of 128 bytes), and runs the real program:
// `korvane flash --stepper 0x14 --port P FILE` through the first simulator alone, then
// `korvane flash --stepper 0x14 --port P1 ... --port P8 FILE` through all of them at once, each a
// few times. The wall time of a run is from its start to the exit of the korvane process; the
// records' `seconds` are each update's own time. The ratio compares the medians.
//
// Host CPU is user + system time: what the run's process tree adds to RUSAGE_CHILDREN, split
// between the gang's parent and its runs (one process per port) as /proc shows it.
//
//     build/bench_gang_speed                  # 8 boards, 3 repetitions each
//     build/bench_gang_speed --boards 4 --repeat 5
#include "bench/FlashImages.h"
#include "tests/support/Files.h"
#include "tests/support/KorvaneRun.h"
#include "tests/support/SimProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using testsupport::Field;
using testsupport::MonoUs;

int64_t ChildrenCpuUs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (int64_t(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000 +
           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

// The share of a process's tree's CPU time that the process used itself: its own user + system
// ticks against those of its reaped children, from /proc while it is a zombie, not yet reaped.
// /proc counts in clock ticks and comes out a little below getrusage, so only the share is used.
double OwnShare(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t name = text.rfind(')'); // the name may hold spaces
    if (name == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(name + 2));
    std::string field;
    long long own = 0, children = 0;
    for (int i = 3; i <= 17 && fields >> field; ++i) { // state is field 3, utime..cstime 14..17
        if (i == 14 || i == 15)
            own += std::atoll(field.c_str());
        if (i == 16 || i == 17)
            children += std::atoll(field.c_str());
    }
    return own + children == 0 ? 0 : double(own) / double(own + children);
}

struct Run {
    bool ok = false;
    std::string failure;
    double wall = 0;           // seconds, start to exit
    std::vector<double> ports; // the records' seconds
    double parentCpu = 0;      // seconds, the gang's parent (none alone)
    double boardCpu = 0;       // seconds, a port's run (the whole program alone)
};

Run Flash(const std::vector<std::string>& ports, const std::string& file,
          const std::string& record) {
    Run run;
    std::remove(record.c_str());
    std::vector<std::string> args = {"flash", "--stepper", "0x14", "--record", record};
    for (const std::string& port : ports)
        args.insert(args.end(), {"--port", port});
    args.push_back(file);

    const int64_t cpuBefore = ChildrenCpuUs();
    const int64_t start = MonoUs();
    runtest::Korvane korvane(args);
    // Waits for the exit without reaping, so that /proc still shows the parent's own time.
    const int64_t deadline = start + 300 * 1000000LL;
    siginfo_t info{};
    while (MonoUs() < deadline) {
        info.si_pid = 0;
        if (waitid(P_PID, id_t(korvane.Pid()), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    run.wall = (MonoUs() - start) / 1e6;
    const double ownShare = OwnShare(korvane.Pid());
    const runtest::Finished finished = korvane.Wait(0);
    const int64_t tree = ChildrenCpuUs() - cpuBefore;
    if (ports.size() == 1) {
        run.boardCpu = tree / 1e6;
    } else {
        run.parentCpu = tree * ownShare / 1e6;
        run.boardCpu = tree * (1 - ownShare) / 1e6 / double(ports.size());
    }
    if (finished.exit != 0) {
        run.failure = "exit " + std::to_string(finished.exit) + ": " + finished.err;
        return run;
    }
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
        if (Field(line, "exit") != "0") {
            run.failure = "a record says " + Field(line, "result");
            return run;
        }
        run.ports.push_back(std::atof(Field(line, "seconds").c_str()));
    }
    if (run.ports.size() != ports.size()) {
        run.failure = std::to_string(run.ports.size()) + " records";
        return run;
    }
    run.ok = true;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
    std::vector<double> wall, ports, parentCpu, boardCpu;
};

// Runs `repeat` times through `ports`, printing each run; false at the first failure.
bool Measure(const char* what, const std::vector<std::string>& ports, int repeat,
             const std::string& file, const std::string& record, Series* series) {
    for (int i = 0; i < repeat; ++i) {
        const Run run = Flash(ports, file, record);
        if (!run.ok) {
            std::printf("  %s FAILED: %s\n", what, run.failure.c_str());
            return false;
        }
        const auto [fastest, slowest] = std::minmax_element(run.ports.begin(), run.ports.end());
        std::printf("  %-6s wall %7.3f s  update %7.3f..%7.3f s  CPU a board %6.3f s"
                    "  parent CPU %6.3f s\n",
                    what, run.wall, *fastest, *slowest, run.boardCpu, run.parentCpu);
        series->wall.push_back(run.wall);
        series->ports.insert(series->ports.end(), run.ports.begin(), run.ports.end());
        series->parentCpu.push_back(run.parentCpu);
        series->boardCpu.push_back(run.boardCpu);
    }
    return true;
}

void PrintLoad(const char* when) {
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

} // namespace

int main(int argc, char** argv) {
    int boards = 8, repeat = 3;
    unsigned baud = 115200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--boards" && i + 1 < argc) {
            boards = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--baud" && i + 1 < argc) {
            baud = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: bench_gang_speed [--boards N] [--repeat N] [--baud N]\n");
            return 2;
        }
    }
    const std::string dir = testsupport::MakeTempDir("korvane-gang-speed");
    if (dir.empty())
        return 1;
    const benchsim::FlashImage image = benchsim::MakeImage(dir, false, 0xFFFE, 0, 2);
    if (!image.ok) {
        std::fprintf(stderr, "cannot make or load the Stepper image (outcome %d)\n", image.outcome);
        return 1;
    }
    std::vector<std::unique_ptr<testsupport::SimProcess>> sims;
    std::vector<std::string> ports;
    for (int i = 0; i < boards; ++i) {
        const std::string simDir = dir + "/sim" + std::to_string(i);
        std::system(("mkdir -p '" + simDir + "'").c_str());
        sims.push_back(std::make_unique<testsupport::SimProcess>(
            std::vector<std::string>{"--baud", std::to_string(baud)}, simDir));
        if (!sims.back()->Ok()) {
            std::fprintf(stderr, "korvane-sim %d did not start\n", i);
            return 1;
        }
        ports.push_back(sims.back()->Path());
    }
    std::printf("Stepper image: %u bytes (0x%04X words), %u blocks of %u bytes; %d simulators at "
                "%u baud; %ld cores\n",
                image.Length(), image.Length() / 2, image.Blocks(), image.BlockLength(), boards,
                baud, sysconf(_SC_NPROCESSORS_ONLN));
    PrintLoad("before");

    const std::string record = dir + "/record.jsonl";
    Series single, gang;
    bool ok = Measure("single", {ports[0]}, repeat, image.path, record, &single) &&
              Measure("gang", ports, repeat, image.path, record, &gang);
    PrintLoad("after");
    if (ok) {
        const double ratio = Median(gang.wall) / Median(single.wall);
        std::printf("median wall: single %.3f s, gang of %d %.3f s; ratio %.4f (target 1.05 at "
                    "most: %s)\n",
                    Median(single.wall), boards, Median(gang.wall), ratio,
                    ratio <= 1.05 ? "met" : "MISSED");
        std::printf("median update (records' seconds): single %.3f s, gang %.3f s; ratio %.4f\n",
                    Median(single.ports), Median(gang.ports),
                    Median(gang.ports) / Median(single.ports));
        std::printf("median host CPU: a board's run %.3f s alone, %.3f s in the gang; gang "
                    "parent %.3f s (%.3f s a board)\n",
                    Median(single.boardCpu), Median(gang.boardCpu), Median(gang.parentCpu),
                    Median(gang.parentCpu) / boards);
    }
    sims.clear();
    std::system(("rm -rf '" + dir + "'").c_str());
    return ok ? 0 : 1;
}
