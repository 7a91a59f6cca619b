#include "cli/Output.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/StackRelease.h"
#include "cli/Usage.h"

#include "ce_interrupt.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Slaves.h"

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
    std::string json = "[";
    for (const SCAN_ANSWER& answer : answers) {
        JsonObject entry;
        entry.Add("slave", static_cast<int64_t>(answer.slave))
            .Add("target", answer.slave == OD_SLAVE_ADDRESS ? "OD" : "Stepper")
            .Add("status", answer.status);
        json += (json.size() > 1 ? "," : "") + entry.Text();
    }
    return json + "]";
}

} // namespace

// Asks every slave the line may hold for its status, with the commands' own GetStatus: up to
// three attempts each, so an address nobody answers costs three reply waits.
int ScanCommand(int argc, char** argv) {
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Out("%s", SCAN_USAGE);
            return EXIT_UPDATED;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc && *argv[i + 1]) {
            setenv("CE_COM6", argv[++i], 1);
        } else if (std::strncmp(argv[i], "--port=", 7) == 0 && argv[i][7]) {
            setenv("CE_COM6", argv[i] + 7, 1);
        } else {
            const std::string what = std::strcmp(argv[i], "--port") == 0
                                         ? std::string("--port needs a DEVICE")
                                         : "unknown argument '" + std::string(argv[i]) + "'";
            return UsageError("scan", what.c_str());
        }
    }
    ce::CatchInterrupts();
    CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
    if (protocol == nullptr) {
        std::fprintf(stderr, "korvane scan: COM6: Error opening port\n");
        return EXIT_PORT;
    }
    std::vector<BYTE> slaves = {OD_SLAVE_ADDRESS};
    slaves.insert(slaves.end(), std::begin(STEPPER_SLAVE_ADDRESSES),
                  std::end(STEPPER_SLAVE_ADDRESSES));
    std::vector<SCAN_ANSWER> answers;
    bool anyAnswered = false;
    for (BYTE slave : slaves) {
        BYTE status = 0;
        const bool answered = protocol->GetStatus(slave, &status) == ERR_OK;
        if (ce::InterruptSignal())
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
    if (ce::InterruptSignal()) {
        std::fprintf(stderr, "korvane scan: interrupted; the port is released\n");
        return EXIT_INTERRUPTED;
    }
    // With --json the answers are what a script asked for: ones that did not arrive fail the run.
    const bool delivered = !json || OutLine(ScanJson(answers));
    return anyAnswered && delivered ? EXIT_UPDATED : EXIT_UPDATE_FAILED;
}
