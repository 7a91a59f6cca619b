#include "cli/Output.h"
#include "cli/KorvaneMain.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/RecipeRun.h"
#include "cli/Usage.h"

#include "afxapp.h"
#include "app/KorvaneRes.h"
#include "conio.h"
#include "korvane_version.h"
#include "platform/host/host.h"
#include "platform/ui/TerminalLog.h"
#include "platform/ui/WindowScale.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct COMMAND_ENTRY {
    const char* name;
    int (*run)(int argc, char** argv);
};

const COMMAND_ENTRY s_commands[] = {
    {"flash", FlashCommand},     {"scan", ScanCommand},     {"station", StationCommand},
    {"ports", PortsCommand},     {"recipe", RecipeCommand}, {"serials", SerialsCommand},
    {"forward", ForwardCommand}, {"report", ReportCommand},
};

// The dialog flashes any file an operator picks: a station that runs approved recipes only
// (or whose settings cannot be trusted) does not open it. The one line goes to standard error
// and to the log, where a line's maintainer looks for what the dialog says.
int RefuseDialogHere() {
    line::StationSettings station;
    line::Verdict verdict = LoadThisStation(&station);
    if (verdict.Passed())
        verdict = line::RefuseUnapproved(station, "the dialog");
    if (verdict.Passed())
        return -1;
    {
        CTerminalLog log(TermLogPath());
        _cprintf("korvane: %s\n", verdict.message.c_str());
    }
    return SayRefused(nullptr, verdict);
}

const int OPTION_FULLSCREEN = 0x101;

// The dialog, as on the device; --port only says which device stands behind COM6:, and
// --fullscreen lets the window fill a machine's panel.
int RunDialog(int argc, char** argv) {
    const option known[] = {
        PORT_OPTION, {"fullscreen", no_argument, nullptr, OPTION_FULLSCREEN}, {}};
    std::vector<std::string> operands;
    std::string what = ReadOptions(
        argc, argv, known,
        [](int id, const std::string& device) {
            if (id == OPTION_FULLSCREEN)
                WinSetFullScreen(TRUE);
            else
                UsePort(device);
            return std::string();
        },
        &operands);
    if (what.empty() && !operands.empty())
        what = "unknown option or command '" + operands[0] + "'";
    if (!what.empty())
        return UsageError(nullptr, what.c_str());
    const int refused = RefuseDialogHere();
    if (refused >= 0)
        return refused;
    return AfxWinMain(&g_korvaneModule, nullptr, nullptr, SW_SHOW);
}

} // namespace

int KorvaneMain(int argc, char** argv) {
    host::GuardStandardStreams();
    if (argc >= 2) {
        if (std::strcmp(argv[1], "--version") == 0) {
            Out("korvane %s\n", KORVANE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            Out("%s\n%s", KORVANE_USAGE, EXIT_STATUS_HELP);
            return 0;
        }
        for (const COMMAND_ENTRY& command : s_commands) {
            if (std::strcmp(argv[1], command.name) == 0)
                return command.run(argc - 1, argv + 1);
        }
    }
    return RunDialog(argc, argv);
}
