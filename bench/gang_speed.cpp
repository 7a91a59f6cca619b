// What flashing several boards at once costs against flashing one. Starts as many korvane-sim
// processes as the largest gang needs (32 by default), paced at 115200 baud, each on its own pty,
// makes the largest Stepper image the loader takes (0x7FFF words, 65534 bytes, 512 blocks of 128
// bytes), and runs the real program: `korvane flash --stepper 0x14 --port P FILE` through the
// first simulator alone, then `korvane flash --stepper 0x14 --port P1 ... --port PN FILE` through
// the first N at once for each gang size, each a few times. The wall time of a run is from its
// start to the exit of the korvane process; the records' `seconds` are each update's own time.
// The ratio compares the medians.
//
// Host CPU is user + system time: what the run's process tree adds to RUSAGE_CHILDREN, split
// between the gang's parent and its runs (one process per port) as /proc shows it; the
// simulators' own CPU is counted apart (they stand for the boards, not the host's work).
// Memory is what the runs hold while they update, sampled from /proc once a second: resident
// (VmRSS, shared pages counted in every process) and proportional (Pss, shared pages split
// between the processes that map them), the largest sum seen, divided by the ports.
//
//     build/bench_gang_speed                       # gangs of 8, 16, 32; 3 repetitions each
//     build/bench_gang_speed --boards 4,8 --repeat 5
#include "bench/FlashImages.h"
#include "bench/Median.h"
#include "tests/support/Files.h"
#include "tests/support/KorvaneRun.h"
#include "tests/support/SimProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
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

// A number out of /proc/PID/status or smaps_rollup ("VmRSS:", "Pss:"), in kB; 0 when absent.
long ProcKb(pid_t pid, const char* file, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size(), key) == 0)
            return std::atol(line.c_str() + key.size());
    }
    return 0;
}

// The processes a process started that still run, from /proc/PID/task/*/children.
std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (long child; in >> child;)
        children.push_back(pid_t(child));
    return children;
}

// User + system ticks a running process has used, from /proc/PID/stat.
long long Ticks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t name = text.rfind(')');
    if (name == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(name + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::atoll(field.c_str());
    }
    return ticks;
}

double UtcSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// A record's "time" (2026-01-31T12:00:00.123Z) in seconds since the epoch; 0 when unreadable.
double IsoSeconds(const std::string& text) {
    tm at{};
    int ms = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &at.tm_year, &at.tm_mon, &at.tm_mday,
                    &at.tm_hour, &at.tm_min, &at.tm_sec, &ms) != 7)
        return 0;
    at.tm_year -= 1900;
    at.tm_mon -= 1;
    return double(timegm(&at)) + ms / 1000.0;
}

struct MEMORY {
    long rssKb = 0, pssKb = 0;
};

// What the runs of one korvane hold now: the process itself when it runs alone, its children
// (one a port) in a gang; and the gang's parent apart.
void SampleMemory(pid_t pid, bool gang, MEMORY* pRuns, MEMORY* pParent) {
    std::vector<pid_t> runs = gang ? ChildrenOf(pid) : std::vector<pid_t>{pid};
    MEMORY now;
    for (pid_t run : runs) {
        now.rssKb += ProcKb(run, "status", "VmRSS:");
        now.pssKb += ProcKb(run, "smaps_rollup", "Pss:");
    }
    pRuns->rssKb = std::max(pRuns->rssKb, now.rssKb);
    pRuns->pssKb = std::max(pRuns->pssKb, now.pssKb);
    if (gang) {
        pParent->rssKb = std::max(pParent->rssKb, ProcKb(pid, "status", "VmRSS:"));
        pParent->pssKb = std::max(pParent->pssKb, ProcKb(pid, "smaps_rollup", "Pss:"));
    }
}

struct Run {
    bool ok = false;
    std::string failure;
    double wall = 0; // seconds, start to exit
    // Seconds from the start: the first and the last update's "Flash!" (the runs' start-up
    // spread), and the last update's end (after which only exits remain).
    double firstClick = 0, lastClick = 0, lastEnd = 0;
    std::vector<double> ports; // the records' seconds
    double parentCpu = 0;      // seconds, the gang's parent (none alone)
    double boardCpu = 0;       // seconds, a port's run (the whole program alone)
    double simCpu = 0;         // seconds, a simulator's own during the run
    MEMORY runs, parent;       // the most seen at once: all the runs, the gang's parent
};

Run Flash(const std::vector<std::string>& ports, const std::vector<pid_t>& sims,
          const std::string& file, const std::string& record) {
    Run run;
    std::remove(record.c_str());
    std::vector<std::string> args = {"flash", "--stepper", "0x14", "--record", record};
    for (const std::string& port : ports)
        args.insert(args.end(), {"--port", port});
    args.push_back(file);

    long long simTicks = 0;
    for (pid_t sim : sims)
        simTicks -= Ticks(sim);
    const int64_t cpuBefore = ChildrenCpuUs();
    const int64_t start = MonoUs();
    const double startUtc = UtcSeconds();
    runtest::Korvane korvane(args);
    // Waits for the exit without reaping, so that /proc still shows the parent's own time, asleep
    // on a pidfd between memory samples (a polling loop would take CPU from the runs). Memory is
    // looked at once a second from the second second on, when every run is updating.
    const int64_t deadline = start + 300 * 1000000LL;
    int64_t nextSample = start + 2000000;
    const int pidfd = int(syscall(SYS_pidfd_open, korvane.Pid(), 0));
    siginfo_t info{};
    while (MonoUs() < deadline) {
        info.si_pid = 0;
        if (waitid(P_PID, id_t(korvane.Pid()), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0)
            break;
        if (MonoUs() >= nextSample) {
            SampleMemory(korvane.Pid(), ports.size() > 1, &run.runs, &run.parent);
            nextSample += 1000000;
        }
        const int64_t waitUs = std::max<int64_t>(0, nextSample - MonoUs());
        if (pidfd >= 0) {
            pollfd exited = {pidfd, POLLIN, 0};
            poll(&exited, 1, int(waitUs / 1000) + 1);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    if (pidfd >= 0)
        close(pidfd);
    run.wall = (MonoUs() - start) / 1e6;
    for (pid_t sim : sims)
        simTicks += Ticks(sim);
    run.simCpu = double(simTicks) / double(sysconf(_SC_CLK_TCK)) / double(sims.size());
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
        const double seconds = std::atof(Field(line, "seconds").c_str());
        const double click = IsoSeconds(Field(line, "time")) - startUtc;
        run.firstClick = run.ports.empty() ? click : std::min(run.firstClick, click);
        run.lastClick = run.ports.empty() ? click : std::max(run.lastClick, click);
        run.lastEnd = std::max(run.lastEnd, click + seconds);
        run.ports.push_back(seconds);
    }
    if (run.ports.size() != ports.size()) {
        run.failure = std::to_string(run.ports.size()) + " records";
        return run;
    }
    run.ok = true;
    return run;
}

using benchsim::Median;

struct Series {
    std::vector<double> wall, ports, parentCpu, boardCpu, simCpu;
    std::vector<double> rssKb, pssKb, parentRssKb; // the runs' a port, the parent's
    std::vector<double> lastClick, tail; // the last "Flash!" after the start; wall after updates
};

// Runs `repeat` times through `ports`, printing each run; false at the first failure.
bool Measure(const std::string& what, const std::vector<std::string>& ports,
             const std::vector<pid_t>& sims, int repeat, const std::string& file,
             const std::string& record, Series* series) {
    for (int i = 0; i < repeat; ++i) {
        const Run run = Flash(ports, sims, file, record);
        if (!run.ok) {
            std::printf("  %s FAILED: %s\n", what.c_str(), run.failure.c_str());
            return false;
        }
        const auto [fastest, slowest] = std::minmax_element(run.ports.begin(), run.ports.end());
        const double n = double(ports.size());
        std::printf("  %-8s updates start %5.3f..%5.3f s, last ends %6.3f s\n", what.c_str(),
                    run.firstClick, run.lastClick, run.lastEnd);
        std::printf("  %-8s wall %7.3f s  update %7.3f..%7.3f s  CPU a board %6.3f s"
                    "  parent %6.3f s  a sim %6.3f s  RSS a port %5.1f MB (Pss %5.1f)\n",
                    what.c_str(), run.wall, *fastest, *slowest, run.boardCpu, run.parentCpu,
                    run.simCpu, run.runs.rssKb / n / 1024, run.runs.pssKb / n / 1024);
        series->wall.push_back(run.wall);
        series->lastClick.push_back(run.lastClick);
        series->tail.push_back(run.wall - run.lastEnd);
        series->ports.insert(series->ports.end(), run.ports.begin(), run.ports.end());
        series->parentCpu.push_back(run.parentCpu);
        series->boardCpu.push_back(run.boardCpu);
        series->simCpu.push_back(run.simCpu);
        series->rssKb.push_back(run.runs.rssKb / n);
        series->pssKb.push_back(run.runs.pssKb / n);
        series->parentRssKb.push_back(run.parent.rssKb);
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
    std::vector<int> gangs = {8, 16, 32};
    int repeat = 3;
    unsigned baud = 115200;
    unsigned packetUs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--boards" && i + 1 < argc) {
            gangs.clear();
            std::istringstream list(argv[++i]);
            for (std::string size; std::getline(list, size, ',');)
                gangs.push_back(std::max(2, std::atoi(size.c_str())));
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--baud" && i + 1 < argc) {
            baud = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--packet-us" && i + 1 < argc) {
            packetUs = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr,
                         "usage: bench_gang_speed [--boards N,N...] [--repeat N] [--baud N] "
                         "[--packet-us US]\n");
            return 2;
        }
    }
    if (gangs.empty())
        gangs.push_back(8);
    const int boards = *std::max_element(gangs.begin(), gangs.end());
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
    std::vector<pid_t> simPids;
    for (int i = 0; i < boards; ++i) {
        const std::string simDir = dir + "/sim" + std::to_string(i);
        std::system(("mkdir -p '" + simDir + "'").c_str());
        sims.push_back(std::make_unique<testsupport::SimProcess>(
            std::vector<std::string>{"--baud", std::to_string(baud), "--packet-us",
                                     std::to_string(packetUs)},
            simDir));
        if (!sims.back()->Ok()) {
            std::fprintf(stderr, "korvane-sim %d did not start\n", i);
            return 1;
        }
        ports.push_back(sims.back()->Path());
        simPids.push_back(sims.back()->Pid());
    }
    std::printf("Stepper image: %u bytes (0x%04X words), %u blocks of %u bytes; %d simulators at "
                "%u baud, replies in packets of %u us (0: byte by byte); %ld cores\n",
                image.Length(), image.Length() / 2, image.Blocks(), image.BlockLength(), boards,
                baud, packetUs, sysconf(_SC_NPROCESSORS_ONLN));
    PrintLoad("before");

    const std::string record = dir + "/record.jsonl";
    Series single;
    std::vector<Series> gang(gangs.size());
    bool ok = Measure("single", {ports[0]}, {simPids[0]}, repeat, image.path, record, &single);
    for (size_t g = 0; ok && g < gangs.size(); ++g) {
        const std::vector<std::string> some(ports.begin(), ports.begin() + gangs[g]);
        const std::vector<pid_t> somePids(simPids.begin(), simPids.begin() + gangs[g]);
        ok = Measure("gang " + std::to_string(gangs[g]), some, somePids, repeat, image.path, record,
                     &gang[g]);
    }
    PrintLoad("after");
    if (ok) {
        std::printf(
            "medians       wall s  ratio   update s  CPU a board s  parent s  a sim s"
            "  RSS a port MB  Pss a port MB  parent RSS MB  last Flash! s  after updates s\n");
        std::printf("single      %8.3f  1.000  %8.3f  %13.3f  %8s  %7.3f  %13.1f  %13.1f  %13s\n",
                    Median(single.wall), Median(single.ports), Median(single.boardCpu), "-",
                    Median(single.simCpu), Median(single.rssKb) / 1024, Median(single.pssKb) / 1024,
                    "-");
        for (size_t g = 0; g < gangs.size(); ++g) {
            const Series& s = gang[g];
            const double ratio = Median(s.wall) / Median(single.wall);
            std::printf("gang of %-3d %8.3f  %5.3f  %8.3f  %13.3f  %8.3f  %7.3f  %13.1f  %13.1f"
                        "  %13.1f  %13.3f  %15.3f  (target 1.05 at most: %s)\n",
                        gangs[g], Median(s.wall), ratio, Median(s.ports), Median(s.boardCpu),
                        Median(s.parentCpu), Median(s.simCpu), Median(s.rssKb) / 1024,
                        Median(s.pssKb) / 1024, Median(s.parentRssKb) / 1024, Median(s.lastClick),
                        Median(s.tail), ratio <= 1.05 ? "met" : "MISSED");
        }
    }
    sims.clear();
    std::system(("rm -rf '" + dir + "'").c_str());
    return ok ? 0 : 1;
}
