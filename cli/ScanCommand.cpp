#include "cli/Output.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/StackRelease.h"
#include "cli/Usage.h"

#include "platform/host/interrupt.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Targets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct SCAN_ANSWER {
    BYTE slave;
    std::optional<int64_t> status; // none: no answer
};

std::string ScanJson(const std::vector<SCAN_ANSWER>& answers) {
    Json json = Json::array();
    for (const SCAN_ANSWER& answer : answers) {
        Json entry;
        entry["slave"] = answer.slave;
        entry["target"] = TargetOfSlave(answer.slave)->name;
        entry["status"] = JsonOrNull(answer.status);
        json.push_back(entry);
    }
    return JsonText(json);
}

} // namespace

// Asks every slave the line may hold for its status, with the commands' own GetStatus: up to
// three attempts each, so an address nobody answers costs three reply waits.
int ScanCommand(int argc, char** argv) {
    enum { OPTION_JSON = 0x200 };
    const option known[] = {
        HELP_OPTION, PORT_OPTION, {"json", no_argument, nullptr, OPTION_JSON}, {}};
    bool json = false, help = false;
    const std::string what = ReadFlags(argc, argv, known, [&](int id, const std::string& value) {
        if (id == OPTION_PORT)
            UsePort(value);
        json = json || id == OPTION_JSON;
        help = help || id == 'h';
        return std::string();
    });
    if (!what.empty())
        return UsageError("scan", what.c_str());
    if (help)
        return Out("%s", SCAN_USAGE) ? EXIT_UPDATED : EXIT_UPDATE_FAILED;
    host::CatchInterrupts();
    CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
    if (protocol == nullptr) {
        std::fprintf(stderr, "korvane scan: %s Error opening port\n", SlavePortText().c_str());
        return EXIT_PORT;
    }
    const std::vector<BYTE> slaves = AllSlaveAddresses();
    std::vector<SCAN_ANSWER> answers;
    bool anyAnswered = false;
    for (BYTE slave : slaves) {
        BYTE status = 0;
        const bool answered = protocol->GetStatus(slave, &status) == ERR_OK;
        if (host::InterruptSignal())
            break;
        anyAnswered = anyAnswered || answered;
        answers.push_back({slave, answered ? std::optional<int64_t>(status) : std::nullopt});
        if (json)
            continue;
        if (answered)
            Out("slave 0x%02X: status %u\n", slave, status);
        else
            Out("slave 0x%02X: no answer\n", slave);
    }
    ReleaseProtocolStack();
    if (host::InterruptSignal()) {
        std::fprintf(stderr, "korvane scan: interrupted; the port is released\n");
        return EXIT_INTERRUPTED;
    }
    // With --json the answers are what a script asked for: ones that did not arrive fail the run.
    const bool delivered = !json || OutLine(ScanJson(answers));
    return anyAnswered && delivered ? EXIT_UPDATED : EXIT_UPDATE_FAILED;
}
