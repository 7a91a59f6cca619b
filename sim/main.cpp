// korvane-sim: the slaves at the far end of the line, for tests, the demo and benchmarks.
#include "sim/HexDump.h"
#include "sim/Line.h"
#include "sim/Options.h"
#include "sim/RequestLog.h"
#include "sim/Simulator.h"

#include "korvane_version.h"
#include "platform/host/interrupt.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "korvane-sim: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    ksim::SimOptions options;
    std::string error;
    if (!ksim::ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "korvane-sim: %s\nTry 'korvane-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ksim::HelpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("korvane-sim %s\n", KORVANE_VERSION);
        return 0;
    }

    // Wake-ups on time matter for pacing; the default 50 us of timer slack is most of a byte.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    // SIGINT, SIGTERM or SIGHUP (a closed terminal) ends it cleanly, through the stop
    // descriptor: the simulator writes its log's last record and its dumps first.
    host::CatchInterrupts();
    if (host::InterruptFd() < 0)
        return Fail(std::string("cannot make a pipe: ") + std::strerror(errno));
    signal(SIGPIPE, SIG_IGN);

    // Better to hear now than after a whole session that the dumps have nowhere to go.
    if (!options.hexDir.empty() && access(options.hexDir.c_str(), W_OK | X_OK) != 0)
        return Fail("cannot write dumps to " + options.hexDir + ": " + std::strerror(errno));

    ksim::RequestLog log;
    if (!log.Open(options.logPath, &error))
        return Fail(error);
    std::unique_ptr<ksim::Line> line = options.device.empty()
                                           ? ksim::Line::OpenPty(options.link, &error)
                                           : ksim::Line::OpenDevice(options.device, &error);
    if (!line)
        return Fail(error);

    // The first line of output is the path the host opens; scripts read it.
    std::printf("%s\n", line->Path().c_str());
    std::fflush(stdout);

    ksim::Simulator simulator(options, *line, log, host::InterruptFd());
    ksim::JsonLine start;
    start.Seconds("t", 0).String("event", "start").String("line", line->Path());
    start.Number("seed", static_cast<long long>(options.faults.seed)).Number("baud", options.baud);
    log.Write(start);
    if (log.Failed())
        return Fail(log.Error());

    std::string why = simulator.Run();
    if (log.Failed())
        return Fail(log.Error());

    ksim::JsonLine end;
    end.Seconds("t", simulator.Now()).String("event", "exit").String("why", why);
    end.Number("requests", simulator.GetStation().Requests());
    // Whether the simulator kept to its schedule: how late reply bytes went out, in us.
    const ksim::Simulator::Lateness& late = simulator.GetLateness();
    end.Number("sent", late.bytes);
    end.Number("late_mean_us", late.writes ? late.sumNs / late.writes / 1000 : 0);
    end.Number("late_max_us", late.maxNs / 1000);
    log.Write(end);

    int status = log.Failed() ? Fail(log.Error()) : 0;
    if (!options.hexDir.empty()) {
        std::vector<std::string> written;
        if (!ksim::WriteHexDumps(options.hexDir, simulator.GetStation().Slaves(), &written, &error))
            status = Fail(error);
    }
    line.reset();
    return status;
}
