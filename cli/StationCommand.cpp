#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/FlashImage.h"
#include "cli/FlashOptions.h"
#include "cli/FlashRecord.h"
#include "cli/Gang.h"
#include "cli/RecipeRun.h"
#include "cli/SerialRun.h"
#include "cli/StationView.h"
#include "cli/Usage.h"

#include "platform/host/interrupt.h"
#include "ce_namespace.h"
#include "platform/host/child.h"
#include "platform/host/host.h"
#include "platform/host/keys.h"

#include <cstdio>

namespace {

// What the next board waits for, and how the station ends: q, Esc or the end of input.
enum class NEXT { BOARD, END };

bool IsEnd(int key) {
    return key == 'q' || key == 'Q' || key == host::KEY_ESCAPE || key == host::KEY_END_OF_INPUT;
}

// Enter (or Space, as a foot switch may send) starts the next board.
NEXT WaitForKey(host::KeyInput& keys) {
    for (;;) {
        const int key = keys.Next(-1, host::InterruptFd());
        if (host::InterruptSignal() || IsEnd(key))
            return NEXT::END;
        if (key == '\r' || key == '\n' || key == ' ')
            return NEXT::BOARD;
    }
}

// Every port present (`present`), or every port gone; the keys can still end the station.
NEXT WaitForPorts(host::KeyInput& keys, const std::vector<std::string>& paths, bool present) {
    for (;;) {
        bool all = true;
        for (const std::string& path : paths)
            all = all && host::PathExists(path) == present;
        if (all)
            return NEXT::BOARD;
        const int key = keys.Next(100, host::InterruptFd());
        if (host::InterruptSignal() || IsEnd(key))
            return NEXT::END;
    }
}

STATION_RECIPE StationRecipeOf(const line::Approval& approval) {
    return {approval.recipe.name, approval.recipe.revision,
            approval.signedRecipe ? approval.signer : "", approval.trustedComment};
}

std::string TargetText(const FLASH_OPTIONS& options) {
    std::string slaves;
    for (uint8_t slave : options.slaves)
        slaves += (slaves.empty() ? "" : ", ") + options.target->SlaveText(slave);
    return std::string(options.target->name) +
           (options.slaves.size() > 1 ? " slaves " : " slave ") + slaves;
}

} // namespace

int StationCommand(int argc, char** argv) {
    FLASH_OPTIONS options;
    host::AppendFile record; // opened to prove it can be: each board's runs append to it
    const int prepared = PrepareFlashRun(argc, argv, true, &options, &record);
    if (prepared >= 0)
        return prepared;
    // Each board is one gang: a run per port ("" is COM6: as the environment maps it).
    const std::vector<std::string> ports =
        options.ports.empty() ? std::vector<std::string>{""} : options.ports;
    std::vector<std::string> paths;
    for (const std::string& port : ports)
        paths.push_back(port.empty() ? SlavePortPath() : port);

    // A recipe is approved afresh before each board (and before the first screen, which shows
    // what it names); a recipe or image that no longer verifies ends the station there.
    const bool withRecipe = !options.recipe.empty();
    line::Approval approval;
    if (withRecipe) {
        approval = ApproveHere(options.recipe, options.allowUnsigned);
        if (!approval.verdict.Passed())
            return SayRefused("station", approval.verdict);
        TakeRecipeTarget(approval.recipe, &options);
    }

    host::CatchInterrupts();
    host::KeyInput keys;
    CStationView view(TargetText(options), ports, host::IsTerminal(1));
    STATION_COUNTS counts;
    line::Verdict refused;
    int stopped = -1; // the exit status of a refusal already said (a serial journal's)
    // The files for the next board: the recipe approved again, or FILE read again; false when
    // the recipe is refused.
    auto readAfresh = [&]() {
        if (withRecipe) {
            approval = ApproveHere(options.recipe, options.allowUnsigned);
            if (!approval.verdict.Passed()) {
                refused = approval.verdict;
                return false;
            }
            TakeRecipeTarget(approval.recipe, &options);
            view.SetRecipe(TargetText(options), StationRecipeOf(approval));
            view.SetImage(approval.recipe.imagePath, approval.recipe.imageSha256);
            return true;
        }
        CFlashImage image;
        std::string why;
        image.Read(options.file, &why);
        view.SetImage(options.file, image.Sha256());
        return true;
    };
    const std::string prompt = options.waitPort
                                   ? "Waiting for the board's port to appear; q or Esc: end"
                                   : "Enter: next board   q or Esc: end";
    for (;;) {
        // Read afresh for every board: the files may have been replaced meanwhile.
        if (!readAfresh())
            break;
        view.Idle(counts, prompt);
        const NEXT next = options.waitPort ? WaitForPorts(keys, paths, true) : WaitForKey(keys);
        if (next == NEXT::END)
            break;
        if (!readAfresh()) // what this board gets
            break;
        // The board's numbers, one a port, are reserved before any run starts: all, or the
        // station ends with nothing sent.
        CSerialRun serial;
        std::vector<std::string> byPort, all;
        if (withRecipe) {
            int refusedCode = serial.Open("station", &approval, *options.target);
            if (refusedCode < 0 && serial.Active())
                refusedCode =
                    ReserveForGang(serial, ports.size(), options.slaves.size(), &byPort, &all);
            if (refusedCode >= 0) {
                stopped = refusedCode;
                break;
            }
        }
        ++counts.boards;
        view.BoardStarted(counts);
        const int code =
            GangExitCode(RunGang(options, ports, view, serial.Active() ? &byPort : nullptr));
        // A run that died before committing its outcome leaves its number void.
        if (serial.Active())
            serial.Release(all, true);
        if (code == EXIT_INTERRUPTED || code == EXIT_NOT_APPROVED) {
            // A board nobody finished is neither passed nor failed; one whose runs refused the
            // recipe (replaced since the station approved it) was not touched.
            --counts.boards;
            if (code == EXIT_NOT_APPROVED)
                refused = line::Verdict::Refuse(EXIT_NOT_APPROVED,
                                                options.recipe + ": refused by the board's run");
            break;
        }
        ++(code == EXIT_UPDATED ? counts.passed : counts.failed);
        view.BoardEnded(counts, code == EXIT_UPDATED);
        keys.DropTypeahead();
        if (options.waitPort) {
            view.Idle(counts, "Waiting for the board's port to go; q or Esc: end");
            if (WaitForPorts(keys, paths, false) == NEXT::END)
                break;
        }
    }
    Out("%d boards: %d passed, %d failed\n", counts.boards, counts.passed, counts.failed);
    if (host::InterruptSignal())
        return EXIT_INTERRUPTED;
    // Why the station stopped, last, where the operator reads it.
    if (!refused.Passed())
        return SayRefused("station", refused);
    if (stopped >= 0)
        return stopped;
    return counts.failed == 0 ? EXIT_UPDATED : EXIT_UPDATE_FAILED;
}
