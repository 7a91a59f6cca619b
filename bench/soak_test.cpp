// The soak test, not a benchmark: many whole updates (the dialog's "Flash!", driven through the
// scripted back end, so OnFlash runs as the operator runs it) against korvane-sim with each of
// its reply faults (lost, corrupted in a byte or in the FCS, noise before the reply, split,
// delayed past the host's wait) at 1 to 20 %, alone and all together. Each flash gets a new simulator (seeded from the
// run's seed and the flash's number), a new image of a few blocks (OD or Stepper, at a random
// start), and the slave's memory is compared with the file afterwards.
//
// It counts flashes reported successful, flashes reported failed (by the message shown), and
// flashes reported successful whose slave memory differs from the file, which must be none.
// Every failure must show one of the update's own messages, and no flash may take longer than
// a bound (a watchdog ends the run if one does). Waits of the system cost no real time beyond
// a grace (tests/support/FastWaitClock.h), so a run of 200 flashes takes about a minute.
//
//     build/bench_soak_test                        # 200 flashes, seed 1
//     build/bench_soak_test --flashes 50 --seed 7 --verbose
#include "bench/FlashImages.h"
#include "app/Korvane.h"
#include "app/KorvaneDlg.h"
#include "app/KorvaneRes.h"
#include "link/SlaveLink.h"
#include "platform/ui/ScriptedBackEnd.h"
#include "protocol/FrameTransport.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Slaves.h"
#include "sim/Faults.h"
#include "tests/support/FastWaitClock.h"
#include "tests/support/Files.h"
#include "tests/support/SimProcess.h"
#include "tests/support/Stack.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <thread>

namespace {

using benchsim::FlashImage;
using testsupport::MonoUs;

// What the operator saw at the end of one update.
struct Outcome {
    std::vector<std::string> boxes;
    std::string status;
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// One whole update as the operator runs it: the dialog shown through the scripted back end, the
// file typed in, the target chosen, "Flash!" pressed; then what the dialog showed.
Outcome FlashWithDialog(const std::string& path, bool od, int comboIndex) {
    CScriptedBackEnd ui;
    ui.OnNextDialog([&](CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, std::wstring(path.begin(), path.end()));
        if (od) {
            s.Click(IDC_OD);
        } else {
            s.Click(IDC_STEPPER);
            s.Select(IDC_SLAVE_ADDRESS, comboIndex);
        }
        s.Click(IDC_FLASH);
    });
    {
        CKorvaneDlg dlg;
        dlg.DoModal();
    }
    Outcome seen;
    for (const UI_EVENT& box : ui.GetMessageBoxes())
        seen.boxes.push_back(Narrow(box.text));
    const std::vector<std::wstring> status = ui.GetTextHistory(IDC_STATUS);
    seen.status = status.empty() ? "" : Narrow(status.back());
    return seen;
}

enum class Verdict { Succeeded, Failed, Unexpected };

// Success is the one box and the one status line; a failure one of the update's own pairs.
Verdict Judge(const Outcome& seen, std::string* which) {
    *which = seen.boxes.empty() ? "(no message) " + seen.status : seen.boxes.front();
    if (seen.boxes.size() != 1)
        return Verdict::Unexpected;
    const std::string& box = seen.boxes.front();
    if (box == "Update succeeded!" && seen.status == "Update sucessfully completed")
        return Verdict::Succeeded;
    if ((box == "Error Erasing" && seen.status == "Erasing") ||
        (box == "Error while programming" && seen.status == "Programming error"))
        return Verdict::Failed;
    if (box.rfind("Update failed! Error ", 0) == 0 && seen.status == box) {
        *which = "Update failed! Error N";
        return Verdict::Failed;
    }
    return Verdict::Unexpected;
}

struct Cell {
    std::string name;
    double rate;
    std::vector<std::string> args;
};

const char* const kFaults[] = {"lose", "corrupt-byte", "corrupt-fcs", "noise", "split", "delay"};
const double kRates[] = {1, 2, 5, 10, 20};

std::vector<Cell> Cells() {
    std::vector<Cell> cells;
    for (double rate : kRates) {
        char text[16];
        std::snprintf(text, sizeof text, "%g", rate);
        Cell all{"all six", rate, {}};
        for (const char* fault : kFaults) {
            cells.push_back({fault, rate, {std::string("--") + fault, text}});
            all.args.push_back(std::string("--") + fault);
            all.args.push_back(text);
        }
        cells.push_back(all);
    }
    return cells;
}

struct Tally {
    int flashes = 0, succeeded = 0, failed = 0, differs = 0, unexpected = 0;
    long faults = 0, requests = 0;
    std::map<std::string, int> messages;
};

// Requests and struck faults, from the simulator's log.
void CountLog(const std::string& path, Tally* tally) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (testsupport::Field(line, "event") != "request")
            continue;
        tally->requests += 1;
        const std::string faults = testsupport::Field(line, "faults");
        if (!faults.empty())
            tally->faults += 1 + long(std::count(faults.begin(), faults.end(), ','));
    }
}

std::atomic<int64_t> g_flashStartUs{0};
std::atomic<int> g_flashNumber{0};

// Ends the run when one flash takes longer than the bound: something hangs.
void Watchdog(int64_t boundUs, std::atomic<bool>* done) {
    while (!done->load()) {
        usleep(100000);
        const int64_t start = g_flashStartUs.load();
        if (start != 0 && MonoUs() - start > boundUs) {
            std::fprintf(stderr, "soak: flash %d has run for more than %lld s: it hangs\n",
                         g_flashNumber.load(), (long long)(boundUs / 1000000));
            std::fflush(stderr);
            _exit(3);
        }
    }
}

struct Options {
    int flashes = 200;
    unsigned seed = 1;
    unsigned graceMs = 500;
    int boundS = 60;
    bool verbose = false;
    int only = -1;     // run just this flash (its number in a full run)
    bool keep = false; // keep the last flash's directory: image, simulator log, dump, trace
};

bool Parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--flashes" && value) {
            options->flashes = std::max(1, std::atoi(value));
            ++i;
        } else if (arg == "--seed" && value) {
            options->seed = unsigned(std::strtoul(value, nullptr, 0));
            ++i;
        } else if (arg == "--grace-ms" && value) {
            options->graceMs = unsigned(std::max(20, std::atoi(value)));
            ++i;
        } else if (arg == "--bound-s" && value) {
            options->boundS = std::max(5, std::atoi(value));
            ++i;
        } else if (arg == "--only" && value) {
            options->only = std::atoi(value);
            ++i;
        } else if (arg == "--keep") {
            options->keep = true;
        } else if (arg == "--verbose") {
            options->verbose = true;
        } else {
            std::fprintf(stderr, "usage: bench_soak_test [--flashes N] [--seed N] [--grace-ms MS] "
                                 "[--bound-s S] [--verbose] [--only N] [--keep]\n");
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, &options))
        return 2;
    const std::string dir = testsupport::MakeTempDir("korvane-soak");
    if (dir.empty())
        return 1;

    const std::vector<Cell> cells = Cells();
    std::vector<Tally> tallies(cells.size());
    Tally total;
    // A delayed reply comes after the host has given up on it and while it waits for the
    // second attempt's reply: the simulator's default delay against the host's reply wait,
    // scaled to the grace that stands for that wait here.
    const std::string delayMs =
        std::to_string(options.graceMs * ksim::kDefaultDelayMs / SLAVE_REPLY_TIMEOUT_MS);

    std::atomic<bool> done{false};
    std::thread watchdog(Watchdog, int64_t(options.boundS) * 1000000, &done);
    testsupport::FastWaitClock clock(options.graceMs);
    AfxSetResourceHandle(&g_korvaneModule);
    if (AfxGetApp() != &theApp)
        return 1;
    const int64_t started = MonoUs();
    int exitCode = 0;

    for (int n = 0; n < options.flashes; ++n) {
        if (options.only >= 0 && n != options.only)
            continue;
        const size_t c = size_t(n) % cells.size();
        const Cell& cell = cells[c];
        std::mt19937 random(options.seed * 7919u + unsigned(n));
        const bool od = n % 2 == 0;
        // A few blocks at a random start: up to 16 blocks, the last one often short.
        size_t size = 1 + random() % (od ? 1024 : 2048);
        if (size <= 16)
            size += 16; // one record alone sets no end: the loader refuses it
        if (!od)
            size = (size + 1) & ~size_t(1); // whole words
        const unsigned offset = unsigned(random() % 0x800) * 16;
        const FlashImage flashed = benchsim::MakeImage(dir, od, size, offset, random());
        if (!flashed.ok) {
            std::fprintf(stderr, "soak: cannot make image %d (outcome %d)\n", n, flashed.outcome);
            exitCode = 1;
            break;
        }
        const int comboIndex = int(random() % STEPPER_SLAVE_COUNT);
        const BYTE slave = od ? OD_SLAVE_ADDRESS : STEPPER_SLAVE_ADDRESSES[comboIndex];

        std::vector<std::string> args = {
            "--baud",     "115200", "--seed", std::to_string(options.seed * 1000 + unsigned(n)),
            "--delay-ms", delayMs};
        args.insert(args.end(), cell.args.begin(), cell.args.end());
        std::remove((dir + "/sim.log").c_str());
        testsupport::SimProcess sim(args, dir);
        if (!sim.Ok()) {
            std::fprintf(stderr, "soak: korvane-sim did not start\n");
            exitCode = 1;
            break;
        }
        setenv("CE_COM6", sim.Path().c_str(), 1);
        TearDownStack();

        g_flashNumber = n;
        g_flashStartUs = MonoUs();
        const Outcome seen = FlashWithDialog(flashed.path, od, comboIndex);
        const int64_t tookUs = MonoUs() - g_flashStartUs.load();
        g_flashStartUs = 0;

        TearDownStack();
        sim.Stop();
        Tally& tally = tallies[c];
        tally.flashes += 1;
        CountLog(dir + "/sim.log", &tally);
        std::string which;
        const Verdict verdict = Judge(seen, &which);
        std::string why;
        bool differs = false;
        if (verdict == Verdict::Succeeded) {
            tally.succeeded += 1;
            differs = !benchsim::DumpMatches(sim.DumpPath(slave), flashed, &why);
            tally.differs += differs;
        } else if (verdict == Verdict::Failed) {
            tally.failed += 1;
            tally.messages[which] += 1;
        } else {
            tally.unexpected += 1;
            tally.messages["unexpected: " + which] += 1;
        }
        if (options.verbose || differs || verdict == Verdict::Unexpected)
            std::printf("flash %3d %-12s %4g%% %-7s %5u bytes at 0x%04X: %-28s %s %.2f s\n", n,
                        cell.name.c_str(), cell.rate, od ? "OD" : "Stepper", flashed.Length(),
                        flashed.start, which.c_str(),
                        differs ? ("MEMORY DIFFERS: " + why).c_str() : "", tookUs / 1e6);
    }
    done = true;
    watchdog.join();
    unsetenv("CE_COM6");

    std::printf("%-12s %5s %7s %9s %6s %7s %10s %8s %6s  %s\n", "fault", "rate", "flashes",
                "succeeded", "failed", "differs", "unexpected", "requests", "faults",
                "failure messages");
    for (size_t c = 0; c < cells.size(); ++c) {
        const Tally& t = tallies[c];
        if (t.flashes == 0)
            continue;
        std::string messages;
        for (const auto& [text, count] : t.messages)
            messages += (messages.empty() ? "" : ", ") + text + " x" + std::to_string(count);
        std::printf("%-12s %4g%% %7d %9d %6d %7d %10d %8ld %6ld  %s\n", cells[c].name.c_str(),
                    cells[c].rate, t.flashes, t.succeeded, t.failed, t.differs, t.unexpected,
                    t.requests, t.faults, messages.c_str());
        total.flashes += t.flashes;
        total.succeeded += t.succeeded;
        total.failed += t.failed;
        total.differs += t.differs;
        total.unexpected += t.unexpected;
        total.requests += t.requests;
        total.faults += t.faults;
    }
    std::printf("%-12s %5s %7d %9d %6d %7d %10d %8ld %6ld\n", "total", "", total.flashes,
                total.succeeded, total.failed, total.differs, total.unexpected, total.requests,
                total.faults);
    std::printf("seed %u, %.1f s real, %.1f s of waits skipped\n", options.seed,
                (MonoUs() - started) / 1e6, clock.SkippedUs() / 1e6);
    if (options.keep)
        std::printf("kept %s\n", dir.c_str());
    else
        std::system(("rm -rf '" + dir + "'").c_str());
    if (total.differs != 0 || total.unexpected != 0)
        exitCode = 1;
    return exitCode;
}
