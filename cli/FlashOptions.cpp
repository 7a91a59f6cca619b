#include "cli/Output.h"
#include "cli/FlashOptions.h"

#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"
#include "cli/RecipeRun.h"
#include "cli/Usage.h"
#include "platform/host/host.h"
#include "protocol/Slaves.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A Stepper address in hex with 0x, or in decimal; -1 when it is no number or not one of the
// five.
int StepperAddress(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 4 ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        return -1;
    const long value = std::strtol(digits.c_str(), nullptr, hex ? 16 : 10);
    return value <= 0xFF && g_stepperTarget.HasSlave(static_cast<BYTE>(value)) ? int(value) : -1;
}

} // namespace

std::string ParseFlashOptions(int argc, char** argv, bool station, FLASH_OPTIONS* options) {
    enum {
        OPTION_OD = 0x200,
        OPTION_STEPPER,
        OPTION_RECORD,
        OPTION_JSON,
        OPTION_QUIET,
        OPTION_WAIT_PORT,
        OPTION_RECIPE,
        OPTION_UNSIGNED
    };
    const option common[] = {HELP_OPTION,
                             PORT_OPTION,
                             {"od", no_argument, nullptr, OPTION_OD},
                             {"stepper", required_argument, nullptr, OPTION_STEPPER},
                             {"record", required_argument, nullptr, OPTION_RECORD},
                             {"recipe", required_argument, nullptr, OPTION_RECIPE},
                             {"unsigned", no_argument, nullptr, OPTION_UNSIGNED}};
    std::vector<option> known(std::begin(common), std::end(common));
    if (station) {
        known.push_back({"wait-port", no_argument, nullptr, OPTION_WAIT_PORT});
    } else {
        known.push_back({"json", no_argument, nullptr, OPTION_JSON});
        known.push_back({"quiet", no_argument, nullptr, OPTION_QUIET});
    }
    known.push_back({});
    std::vector<std::string> operands;
    const std::string error = ReadOptions(
        argc, argv, known.data(),
        [&](int id, const std::string& value) -> std::string {
            switch (id) {
            case 'h':
                options->help = true;
                break;
            case OPTION_OD:
                if (options->target == &g_stepperTarget)
                    return "--od and --stepper are two targets; give one";
                options->target = &g_odTarget;
                options->slaves.assign(g_odTarget.slaves,
                                       g_odTarget.slaves + g_odTarget.slaveCount);
                break;
            case OPTION_STEPPER:
                if (options->target == &g_stepperTarget)
                    return "--stepper is given twice";
                if (options->target == &g_odTarget)
                    return "--od and --stepper are two targets; give one";
                options->target = &g_stepperTarget;
                return ParseStepperList(value, &options->slaves);
            case OPTION_PORT:
                options->ports.push_back(value);
                break;
            case OPTION_RECORD:
                options->record = value;
                break;
            case OPTION_JSON:
                options->json = true;
                break;
            case OPTION_QUIET:
                options->quiet = true;
                break;
            case OPTION_WAIT_PORT:
                options->waitPort = true;
                break;
            case OPTION_RECIPE:
                if (!options->recipe.empty())
                    return "--recipe is given twice";
                options->recipe = value;
                break;
            case OPTION_UNSIGNED:
                options->allowUnsigned = true;
                break;
            }
            return "";
        },
        &operands);
    if (!error.empty())
        return error;
    if (operands.size() > 1)
        return "one FILE only ('" + operands[0] + "' and '" + operands[1] + "')";
    if (operands.size() == 1)
        options->file = operands[0];
    if (options->help)
        return "";
    if (!options->recipe.empty()) {
        // The recipe names the target, the slaves and the image; nothing may add to it.
        if (options->target || !options->file.empty())
            return "--recipe names the target and the image; give none of --od, --stepper and "
                   "FILE with it";
        return "";
    }
    if (options->allowUnsigned)
        return "--unsigned is for a --recipe";
    if (!options->target)
        return "no target: give --od or --stepper LIST";
    if (options->file.empty())
        return "no FILE to flash";
    return "";
}

std::string ParseStepperList(const std::string& list, std::vector<uint8_t>* slaves) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? comma : comma - start);
        const int address = StepperAddress(item);
        if (address < 0)
            return "'" + item + "' is no Stepper address (" + SlaveListText(g_stepperTarget) +
                   ", in hex with 0x or in decimal)";
        slaves->push_back(static_cast<uint8_t>(address));
        if (comma == std::string::npos)
            return "";
        start = comma + 1;
    }
}

std::string StepperList(const std::vector<uint8_t>& slaves, const char* separator) {
    std::string list;
    for (uint8_t slave : slaves) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", slave);
        list += (list.empty() ? "" : separator) + std::string(text);
    }
    return list;
}

int PrepareFlashRun(int argc, char** argv, bool station, FLASH_OPTIONS* options,
                    host::AppendFile* record) {
    const char* command = station ? "station" : "flash";
    const std::string error = ParseFlashOptions(argc, argv, station, options);
    if (!error.empty())
        return UsageError(command, error.c_str());
    if (options->help) {
        Out("%s\n%s", station ? STATION_USAGE : FLASH_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    std::string why;
    if (!options->record.empty() && !record->Open(options->record, &why)) {
        const std::string what = "cannot append to the record file " + options->record + ": " + why;
        return UsageError(command, what.c_str());
    }
    // A free run (FILE, no recipe) where the station requires recipes is refused here; a
    // recipe is approved by the command itself, before anything is sent.
    line::StationSettings settings;
    line::Verdict verdict = LoadThisStation(&settings);
    if (verdict.Passed() && options->recipe.empty())
        verdict = line::RefuseUnapproved(settings,
                                         station ? "a station without a recipe" : "a free flash");
    if (!verdict.Passed())
        return SayRefused(command, verdict);
    return -1;
}
