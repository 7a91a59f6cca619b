// `korvane recipe new` writes a recipe for an engineer to sign; `korvane recipe check` tells
// whether this station would run one, without a port.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/FlashOptions.h"
#include "cli/Output.h"
#include "cli/RecipeRun.h"
#include "cli/Usage.h"

#include <cstring>

namespace {

int RecipeNewCommand(int argc, char** argv) {
    enum { OPTION_OD = 0x200, OPTION_STEPPER, OPTION_IMAGE, OPTION_NAME, OPTION_REVISION };
    const option known[] = {HELP_OPTION,
                            {"od", no_argument, nullptr, OPTION_OD},
                            {"stepper", required_argument, nullptr, OPTION_STEPPER},
                            {"image", required_argument, nullptr, OPTION_IMAGE},
                            {"name", required_argument, nullptr, OPTION_NAME},
                            {"revision", required_argument, nullptr, OPTION_REVISION},
                            {}};
    line::RecipeDraft draft;
    bool help = false, od = false;
    std::string stepper;
    std::vector<std::string> operands;
    std::string what = ReadOptions(
        argc, argv, known,
        [&](int id, const std::string& value) -> std::string {
            switch (id) {
            case 'h':
                help = true;
                break;
            case OPTION_OD:
                od = true;
                break;
            case OPTION_STEPPER:
                stepper = value;
                break;
            case OPTION_IMAGE:
                draft.image = value;
                break;
            case OPTION_NAME:
                draft.name = value;
                break;
            case OPTION_REVISION:
                draft.revision = value;
                break;
            }
            return "";
        },
        &operands);
    if (help) {
        Out("%s\n%s", RECIPE_NEW_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    std::vector<uint8_t> slaves;
    if (what.empty() && od == !stepper.empty())
        what = "give one target: --od or --stepper LIST";
    if (what.empty() && !stepper.empty())
        what = ParseStepperList(stepper, &slaves); // as `flash --stepper` reads it
    if (what.empty() && draft.image.empty())
        what = "no --image FILE";
    if (what.empty() && !operands.empty())
        what = "unknown argument '" + operands[0] + "'";
    if (!what.empty())
        return UsageError("recipe new", what.c_str());
    draft.target = od ? line::RecipeTarget::OD : line::RecipeTarget::Stepper;
    draft.slaves.assign(slaves.begin(), slaves.end());
    std::string text;
    const line::Verdict verdict = line::RecipeNew(draft, &text);
    if (!verdict.Passed())
        return SayRefused("recipe new", verdict);
    Out("%s", text.c_str());
    return StdoutLost() ? EXIT_FILE : EXIT_UPDATED;
}

int RecipeCheckCommand(int argc, char** argv) {
    enum { OPTION_UNSIGNED = 0x200 };
    const option known[] = {HELP_OPTION, {"unsigned", no_argument, nullptr, OPTION_UNSIGNED}, {}};
    bool help = false, allowUnsigned = false;
    std::vector<std::string> operands;
    std::string what = ReadOptions(
        argc, argv, known,
        [&](int id, const std::string&) -> std::string {
            (id == 'h' ? help : allowUnsigned) = true;
            return "";
        },
        &operands);
    if (help) {
        Out("%s\n%s", RECIPE_CHECK_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    if (what.empty() && operands.size() != 1)
        what = operands.empty() ? "no recipe to check" : "one recipe only";
    if (!what.empty())
        return UsageError("recipe check", what.c_str());
    const line::Approval approval = ApproveHere(operands[0], allowUnsigned);
    if (!approval.verdict.Passed())
        return SayRefused("recipe check", approval.verdict);
    const line::Recipe& recipe = approval.recipe;
    const std::string slaves =
        StepperList(std::vector<uint8_t>(recipe.slaves.begin(), recipe.slaves.end()), ",");
    // A recipe's texts come from a file: shown only made printable.
    Out("name: %s\nrevision: %s\ntarget: %s\nslaves: %s\nimage: %s\nsha256: %s\n",
        Printable(recipe.name).c_str(), Printable(recipe.revision).c_str(),
        line::RecipeTargetName(recipe.target), recipe.slaves.empty() ? "1" : slaves.c_str(),
        Printable(recipe.imagePath).c_str(), recipe.imageSha256.c_str());
    if (approval.signedRecipe)
        Out("signer: %s %s\n", approval.signer.c_str(), Printable(approval.trustedComment).c_str());
    else
        Out("signer: none (--unsigned)\n");
    return EXIT_UPDATED;
}

} // namespace

int RecipeCommand(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "new") == 0)
        return RecipeNewCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "check") == 0)
        return RecipeCheckCommand(argc - 1, argv + 1);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Out("%s\n%s\n%s", RECIPE_NEW_USAGE, RECIPE_CHECK_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    return UsageError(
        "recipe",
        argc < 2
            ? "give new or check"
            : ("unknown subcommand '" + std::string(argv[1]) + "'; give new or check").c_str());
}
