#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Usage.h"

#include "line/Forwarder.h"
#include "line/RecordIdentity.h"
#include "line/StationFile.h"
#include "platform/host/files.h"
#include "platform/host/host.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Say(const std::string& line) {
    std::fprintf(stderr, "korvane forward: %s\n", line.c_str());
}

} // namespace

int ForwardCommand(int argc, char** argv) {
    const int OPTION_ONCE = 0x200;
    const option known[] = {HELP_OPTION, {"once", no_argument, nullptr, OPTION_ONCE}, {}};
    bool once = false, help = false;
    std::vector<std::string> operands;
    std::string what = ReadOptions(
        argc, argv, known,
        [&](int id, const std::string&) {
            (id == 'h' ? help : once) = true;
            return std::string();
        },
        &operands);
    if (what.empty() && !operands.empty())
        what = "takes no operand: '" + operands[0] + "'";
    if (!what.empty())
        return UsageError("forward", what.c_str());
    if (help) {
        Out("%s", FORWARD_USAGE);
        return EXIT_UPDATED;
    }

    line::StationSettings station;
    const line::Verdict loaded =
        line::LoadStation(line::kSystemStationFile, std::getenv(line::kStationFileVariable),
                          host::CurrentUser(), &station);
    if (!loaded.Passed()) {
        Say(loaded.message);
        return EXIT_UPDATE_FAILED;
    }
    line::ForwardJob job;
    std::string problem = line::ReadPublishSettings(station, &job.publish);
    if (problem.empty() && !job.publish.passwordFile.empty())
        problem = line::ReadPassword(job.publish.passwordFile, &job.password);
    if (!problem.empty()) {
        Say(problem);
        return EXIT_UPDATE_FAILED;
    }
    job.station = line::StationName(host::HostName());
    job.recordFile = line::RecordFileOf(station);
    job.once = once;
    job.say = Say;
    return line::Forward(job);
}
