// How close a flash comes to the line's own speed. Flashes the largest OD image (0xFFFF bytes:
// a range ending at 0x10000 cannot be told from an empty one and is refused; 1024 blocks of 64
// bytes) and the largest Stepper image (0x7FFF words, 512 blocks of 128 bytes) through the real
// stack (CSlaveProtocol down to the termios port) over a pty into korvane-sim, with the update's
// own sequence: Reset (OD), Erase, Program block by block, Reset, GetStatus, without the two 2000
// ms waits.
//
// For each image: the wall time of the programming phase at 115200 baud against the time its
// bytes need on a 115200 8N1 line (requests and replies as they were on the wire, escaping
// included, counted from a serial trace of the same flash), their ratio, and the same flash
// unpaced, which shows what the stack itself can move in bytes per second. Host CPU time and
// system calls are per block, for the programming phase, of this process (the stack) alone.
//
//     build/bench_flash_speed                 # both images, paced and unpaced
//     build/bench_flash_speed --image od --baud 115200 --repeat 3
#include "bench/FlashImages.h"
#include "ce_device.h"
#include "ce_trace.h"
#include "link/SlaveLink.h"
#include "protocol/FrameTransport.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Slaves.h"
#include "tests/support/Files.h"
#include "tests/support/SimProcess.h"
#include "tests/support/Stack.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <sys/resource.h>

namespace {

using benchsim::FlashImage;
using testsupport::MonoUs;

int64_t CpuUs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

struct WireCount {
    uint64_t written = 0;
    uint64_t read = 0;
    uint64_t writes = 0;
    uint64_t timeouts = 0;
};

// Sums the bytes of every "W n" and "R n" line (n, or n of "n/m") of a serial trace.
WireCount CountTrace(const std::string& path) {
    WireCount count;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t port = line.find("] ");
        if (port == std::string::npos)
            continue;
        std::istringstream words(line.substr(port + 2));
        std::string name, direction, amount;
        words >> name >> direction >> amount;
        if (direction == "read" || direction == "write")
            count.timeouts += line.find("time-out") != std::string::npos;
        if (direction != "W" && direction != "R")
            continue;
        const uint64_t n = std::strtoull(amount.c_str(), nullptr, 10);
        if (direction == "W") {
            count.written += n;
            count.writes += 1;
        } else {
            count.read += n;
        }
    }
    return count;
}

struct Flash {
    bool ok = false;
    std::string failure;
    int64_t resetUs = 0, eraseUs = 0, programUs = 0, endResetUs = 0, statusUs = 0;
    int64_t programCpuUs = 0;
    uint64_t programHostCalls = 0;
    long programVoluntarySwitches = 0;
    WireCount wire; // with a trace only
    int64_t simCpuUs = 0;
    std::string simExit;
    bool dumpOk = false;
};

// One flash of `flashed` against a new simulator paced at `baud` (0: unpaced). With `trace`,
// the programming phase is traced to that file.
Flash RunFlash(const FlashImage& flashed, unsigned baud, const std::string& trace,
               const std::string& dir) {
    Flash run;
    testsupport::SimProcess sim({"--baud", std::to_string(baud)}, dir);
    if (!sim.Ok()) {
        run.failure = "korvane-sim did not start";
        return run;
    }
    setenv("CE_COM6", sim.Path().c_str(), 1);
    TearDownStack();
    CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
    if (protocol == nullptr) {
        run.failure = "the stack did not open COM6:";
        return run;
    }
    const BYTE slave = flashed.od ? OD_SLAVE_ADDRESS : STEPPER_SLAVE_ADDRESSES[0];
    const UINT multiplier = flashed.Multiplier();
    const BYTE blockLength = BYTE(flashed.BlockLength());
    const UINT length = flashed.Length();

    int64_t t0 = MonoUs();
    if (flashed.od)
        protocol->Reset(slave); // the update then waits 2000 ms; not timed here
    run.resetUs = MonoUs() - t0;

    t0 = MonoUs();
    DWORD result = protocol->Erase(slave, WORD(flashed.start / multiplier));
    run.eraseUs = MonoUs() - t0;
    if (result != ERR_OK) {
        run.failure = "Erase: " + std::to_string(result);
        return run;
    }

    if (!trace.empty()) {
        std::remove(trace.c_str());
        ce::SetTraceFile(trace.c_str());
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const uint64_t calls = ce::HostCallCount();
    const int64_t cpu = CpuUs();
    t0 = MonoUs();
    for (UINT position = 0; position < length; position += blockLength) {
        const WORD target = WORD(flashed.start / multiplier + position / multiplier);
        result =
            protocol->Program(slave, target, &flashed.image[flashed.start + position], blockLength);
        if (result != ERR_OK) {
            run.failure = "Program at " + std::to_string(position) + ": " + std::to_string(result);
            break;
        }
    }
    run.programUs = MonoUs() - t0;
    run.programCpuUs = CpuUs() - cpu;
    run.programHostCalls = ce::HostCallCount() - calls;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    run.programVoluntarySwitches = after.ru_nvcsw - before.ru_nvcsw;
    if (!trace.empty()) {
        ce::SetTraceFile(nullptr);
        run.wire = CountTrace(trace);
    }
    if (result != ERR_OK)
        return run;

    t0 = MonoUs();
    protocol->Reset(slave); // the update then waits 2000 ms; not timed here
    run.endResetUs = MonoUs() - t0;
    BYTE status = 0xFF;
    t0 = MonoUs();
    result = protocol->GetStatus(slave, &status);
    run.statusUs = MonoUs() - t0;
    if (result != ERR_OK || status != 0) {
        run.failure = "GetStatus: " + std::to_string(result) + ", status " + std::to_string(status);
        return run;
    }

    TearDownStack();
    unsetenv("CE_COM6");
    sim.Stop();
    run.simCpuUs = sim.CpuUs();
    run.simExit = sim.ExitRecord();
    std::string why;
    run.dumpOk = benchsim::DumpMatches(sim.DumpPath(slave), flashed, &why);
    if (!run.dumpOk)
        run.failure = "slave memory: " + why;
    run.ok = run.dumpOk;
    return run;
}

struct Options {
    bool od = true, stepper = true;
    bool paced = true, unpaced = true;
    unsigned baud = 115200;
    int repeat = 1;
    std::string trace; // traces the timed flashes too (which costs them time)
};

bool Parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--image" && value) {
            options->od = std::strcmp(value, "stepper") != 0;
            options->stepper = std::strcmp(value, "od") != 0;
            ++i;
        } else if (arg == "--baud" && value) {
            options->baud = unsigned(std::strtoul(value, nullptr, 10));
            options->paced = options->baud != 0;
            options->unpaced = options->baud == 0;
            ++i;
        } else if (arg == "--trace" && value) {
            options->trace = value;
            ++i;
        } else if (arg == "--repeat" && value) {
            options->repeat = std::max(1, std::atoi(value));
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: bench_flash_speed [--image od|stepper] [--baud N (0: unpaced)] "
                         "[--repeat N] [--trace FILE]\n");
            return false;
        }
    }
    return true;
}

void PrintRun(const char* what, unsigned baud, const FlashImage& flashed, const WireCount& wire,
              const Flash& run) {
    const double bytes = double(wire.written + wire.read);
    const double blocks = flashed.Blocks();
    std::printf("  %-9s", what);
    if (!run.ok) {
        std::printf(" FAILED: %s\n", run.failure.c_str());
        return;
    }
    const double wall = run.programUs / 1e6;
    std::printf(" programming %8.3f s", wall);
    if (baud != 0) {
        const double wireSeconds = bytes * 10.0 / baud;
        std::printf("  wire %8.3f s  ratio %.4f (%+.2f%%, %+.0f us a block)", wireSeconds,
                    wall / wireSeconds, (wall / wireSeconds - 1) * 100,
                    (wall - wireSeconds) * 1e6 / blocks);
    } else {
        std::printf("  %9.0f bytes/s  %7.0f blocks/s", bytes / wall, blocks / wall);
    }
    std::printf("\n            host CPU %6.1f us/block, %5.1f syscalls/block, %5.1f sleeps/block;"
                " sim CPU %.2f s\n",
                run.programCpuUs / blocks, run.programHostCalls / blocks,
                run.programVoluntarySwitches / blocks, run.simCpuUs / 1e6);
    std::printf("            reset %.2f ms, erase %.2f ms, reset %.2f ms, status %.2f ms"
                " (2000 ms waits left out); slave memory matches\n",
                run.resetUs / 1e3, run.eraseUs / 1e3, run.endResetUs / 1e3, run.statusUs / 1e3);
    const std::string mean = testsupport::Field(run.simExit, "late_mean_us");
    if (!mean.empty())
        std::printf("            sim late: mean %s us, max %s us\n", mean.c_str(),
                    testsupport::Field(run.simExit, "late_max_us").c_str());
}

bool Bench(bool od, const Options& options, const std::string& dir) {
    // The largest ranges the loader takes: OD 0xFFFF bytes from 0, Stepper 0x7FFF words.
    const FlashImage flashed = benchsim::MakeImage(dir, od, od ? 0xFFFF : 0xFFFE, 0, od ? 1 : 2);
    if (!flashed.ok) {
        std::fprintf(stderr, "cannot make or load the %s image (outcome %d)\n",
                     od ? "OD" : "Stepper", flashed.outcome);
        return false;
    }
    std::printf("%s: %u bytes at 0x%04X..0x%04X, %u blocks of %u bytes\n", od ? "OD" : "Stepper",
                flashed.Length(), flashed.start, flashed.end, flashed.Blocks(),
                flashed.BlockLength());

    // The wire's bytes, counted once from a trace of an unpaced flash of the same image: no
    // fault, so the paced flashes put exactly these bytes on the line.
    const Flash counted = RunFlash(flashed, 0, dir + "/trace", dir);
    if (!counted.ok) {
        std::printf("  counting flash FAILED: %s\n", counted.failure.c_str());
        return false;
    }
    const WireCount& wire = counted.wire;
    std::printf("  wire: %llu request bytes in %llu frames (%.2f a block, escaping included), "
                "%llu reply bytes (%.2f a block), %llu time-outs\n",
                (unsigned long long)wire.written, (unsigned long long)wire.writes,
                double(wire.written) / flashed.Blocks(), (unsigned long long)wire.read,
                double(wire.read) / flashed.Blocks(), (unsigned long long)wire.timeouts);
    if (options.paced)
        std::printf("  %s: %.3f s at %u baud 8N1\n", "line time of those bytes",
                    double(wire.written + wire.read) * 10.0 / options.baud, options.baud);

    bool ok = true;
    for (int i = 0; i < options.repeat; ++i) {
        if (options.paced) {
            const Flash run = RunFlash(flashed, options.baud, options.trace, dir);
            PrintRun(std::to_string(options.baud).c_str(), options.baud, flashed, wire, run);
            ok = ok && run.ok;
        }
        if (options.unpaced) {
            const Flash run = RunFlash(flashed, 0, options.trace, dir);
            PrintRun("unpaced", 0, flashed, wire, run);
            ok = ok && run.ok;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, &options))
        return 2;
    const std::string dir = testsupport::MakeTempDir("korvane-flash-speed");
    if (dir.empty())
        return 1;
    // The machine's load moves the paced figures: every byte wakes both processes.
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    bool ok = true;
    if (options.od)
        ok = Bench(true, options, dir) && ok;
    if (options.stepper)
        ok = Bench(false, options, dir) && ok;
    std::system(("rm -rf '" + dir + "'").c_str());
    return ok ? 0 : 1;
}
