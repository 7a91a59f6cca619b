#include "cli/CommandLine.h"
#include "cli/Gang.h"
#include "cli/SerialRun.h"
#include "cli/ExitCodes.h"
#include "cli/GangProtocol.h"

#include "platform/host/interrupt.h"
#include "platform/host/child.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The arguments of one port's run: the same target, record and file (or the same recipe,
// which the run approves again), its own port.
std::vector<std::string> ChildArgs(const FLASH_OPTIONS& options, const std::string& port) {
    std::vector<std::string> args = {"korvane", "flash", "--quiet"};
    if (!options.recipe.empty()) {
        args.insert(args.end(), {"--recipe", options.recipe});
        if (options.allowUnsigned)
            args.push_back("--unsigned");
    } else if (options.target == &g_odTarget)
        args.push_back("--od");
    else
        args.insert(args.end(), {"--stepper", StepperList(options.slaves, ",")});
    if (!options.record.empty())
        args.insert(args.end(), {"--record", options.record});
    if (!port.empty())
        args.insert(args.end(), {"--port", port});
    if (options.recipe.empty())
        args.push_back(options.file);
    return args;
}

// One run: its process and what it has written that is not a whole line yet.
struct GANG_RUN {
    host::ChildProcess process;
    std::string out, err;
};

void Dispatch(size_t port, const std::string& line, IGangObserver& observer) {
    if (line.size() < 2 || line[1] != ' ') {
        observer.OnLine(port, line);
        return;
    }
    const std::string text = line.substr(2);
    switch (line[0]) {
    case GANG_TAG_LINE:
        observer.OnLine(port, text);
        break;
    case GANG_TAG_PROGRESS: {
        int done = 0, total = 0;
        if (std::sscanf(text.c_str(), "%d %d", &done, &total) == 2)
            observer.OnProgress(port, done, total);
        break;
    }
    case GANG_TAG_RECORD:
        observer.OnRecord(port, text);
        break;
    default:
        observer.OnLine(port, line);
    }
}

// Hands on every whole line in *pending; with `all`, the rest too.
template <typename Handle> void TakeLines(std::string* pending, bool all, Handle handle) {
    size_t start = 0, end;
    while ((end = pending->find('\n', start)) != std::string::npos) {
        handle(pending->substr(start, end - start));
        start = end + 1;
    }
    pending->erase(0, start);
    if (all && !pending->empty()) {
        handle(*pending);
        pending->clear();
    }
}

} // namespace

std::vector<int> RunGang(const FLASH_OPTIONS& options, const std::vector<std::string>& ports,
                         IGangObserver& observer, const std::vector<std::string>* serials) {
    host::CatchInterrupts();
    const std::string self = host::SelfPath();
    const std::string childSetting = std::string(GANG_CHILD_VARIABLE) + "=1";
    std::vector<std::unique_ptr<GANG_RUN>> runs;
    std::vector<int> codes(ports.size(), EXIT_UPDATE_FAILED);
    for (size_t i = 0; i < ports.size(); ++i) {
        runs.push_back(std::make_unique<GANG_RUN>());
        std::string error;
        std::vector<std::string> environment = {childSetting};
        if (serials != nullptr)
            environment.push_back(std::string(SERIAL_VALUES_VARIABLE) + "=" + (*serials)[i]);
        if (!runs[i]->process.Start(self, ChildArgs(options, ports[i]), environment, &error))
            observer.OnDiagnostic(i, "korvane flash: cannot start a run: " + error);
    }
    bool passedOn = false;
    for (;;) {
        std::vector<int> fds;
        for (const auto& run : runs)
            fds.insert(fds.end(), {run->process.OutFd(), run->process.ErrFd()});
        bool open = false;
        for (int fd : fds)
            open = open || fd >= 0;
        if (!open)
            break;
        std::vector<bool> ready;
        host::WaitReadable(fds, passedOn ? -1 : host::InterruptFd(), -1, &ready);
        if (host::InterruptSignal() && !passedOn) {
            for (const auto& run : runs)
                run->process.Signal(SIGINT);
            passedOn = true;
        }
        for (size_t i = 0; i < runs.size(); ++i) {
            GANG_RUN& run = *runs[i];
            if (ready[2 * i]) {
                const bool more = host::ReadSome(run.process.OutFd(), &run.out);
                TakeLines(&run.out, !more,
                          [&](const std::string& line) { Dispatch(i, line, observer); });
                if (!more)
                    run.process.CloseOut();
            }
            if (ready[2 * i + 1]) {
                const bool more = host::ReadSome(run.process.ErrFd(), &run.err);
                TakeLines(&run.err, !more,
                          [&](const std::string& line) { observer.OnDiagnostic(i, line); });
                if (!more)
                    run.process.CloseErr();
            }
        }
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i]->process.Pid() > 0)
            codes[i] = runs[i]->process.Wait();
        observer.OnPortEnd(i, codes[i]);
    }
    return codes;
}

int GangExitCode(const std::vector<int>& codes) {
    if (host::InterruptSignal())
        return EXIT_INTERRUPTED;
    for (int code : codes) {
        if (code != EXIT_UPDATED)
            return code;
    }
    return EXIT_UPDATED;
}

std::string PortLabel(const std::string& port) {
    return port.empty() ? SlavePortText() : port;
}

bool GANG_ROW::SetProgress(int done, int total) {
    const int now = GangPercent(done, total);
    if (now < 0 || now == percent)
        return false;
    percent = now;
    return true;
}

std::vector<GANG_ROW> RowsFor(const std::vector<std::string>& ports) {
    std::vector<GANG_ROW> rows;
    for (const std::string& port : ports)
        rows.push_back({PortLabel(port), "", -1});
    return rows;
}
