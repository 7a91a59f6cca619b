#include "cli/Output.h"
#include "cli/FlashOptions.h"

#include "cli/ExitCodes.h"
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
    for (BYTE address : STEPPER_SLAVE_ADDRESSES) {
        if (value == address)
            return address;
    }
    return -1;
}

std::string ParseStepperList(const std::string& list, std::vector<uint8_t>* slaves) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? comma : comma - start);
        const int address = StepperAddress(item);
        if (address < 0)
            return "'" + item +
                   "' is no Stepper address (0x14, 0x15, 0x18, 0x1C or 0x1D, in hex with 0x or "
                   "in decimal)";
        slaves->push_back(static_cast<uint8_t>(address));
        if (comma == std::string::npos)
            return "";
        start = comma + 1;
    }
}

} // namespace

std::string ParseFlashOptions(int argc, char** argv, bool station, FLASH_OPTIONS* options) {
    bool stepperGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            hasValue = true;
        }
        auto take = [&](std::string* out) -> std::string {
            if (!hasValue) {
                if (i + 1 >= argc)
                    return arg + " needs a value";
                value = argv[++i];
            }
            if (value.empty())
                return arg + " needs a value";
            *out = value;
            return "";
        };
        std::string error;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--od") {
            options->od = true;
        } else if (arg == "--stepper") {
            std::string list;
            error = take(&list);
            if (error.empty() && stepperGiven)
                error = "--stepper is given twice";
            if (error.empty())
                error = ParseStepperList(list, &options->steppers);
            stepperGiven = true;
        } else if (arg == "--port") {
            std::string port;
            error = take(&port);
            if (error.empty())
                options->ports.push_back(port);
        } else if (arg == "--record") {
            error = take(&options->record);
        } else if (arg == "--json" && !station) {
            options->json = true;
        } else if (arg == "--quiet" && !station) {
            options->quiet = true;
        } else if (arg == "--wait-port" && station) {
            options->waitPort = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + std::string(argv[i]) + "'";
        } else if (!options->file.empty()) {
            error = "one FILE only ('" + options->file + "' and '" + arg + "')";
        } else {
            options->file = arg;
        }
        if (!error.empty())
            return error;
        if (hasValue && arg != "--stepper" && arg != "--port" && arg != "--record")
            return arg + " takes no value";
    }
    if (options->help)
        return "";
    if (options->od && stepperGiven)
        return "--od and --stepper are two targets; give one";
    if (!options->od && !stepperGiven)
        return "no target: give --od or --stepper LIST";
    if (options->file.empty())
        return "no FILE to flash";
    return "";
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
    return -1;
}

std::vector<uint8_t> SlavesOf(const FLASH_OPTIONS& options) {
    if (options.od)
        return {OD_SLAVE_ADDRESS};
    return options.steppers;
}
