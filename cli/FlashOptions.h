// The command line of `korvane flash` and `korvane station`.
#pragma once

#include "protocol/Targets.h"

#include <cstdint>
#include <string>
#include <vector>

struct FLASH_OPTIONS {
    const TARGET_KIND* target = nullptr; // --od or --stepper
    std::vector<uint8_t> slaves;         // in the order they are flashed: OD's one, or LIST
    std::vector<std::string> ports;      // the devices behind COM6:; none: CE_COM6 or the default
    std::string record;                  // the JSON Lines file records are appended to; "" for none
    bool json = false;
    bool quiet = false;
    bool waitPort = false; // station only
    bool help = false;
    std::string file;
};

// Parses the arguments behind the command's name (argv[0]). Returns "" or what is wrong, in
// one line. `station` takes --wait-port and none of --json and --quiet.
std::string ParseFlashOptions(int argc, char** argv, bool station, FLASH_OPTIONS* options);

// Stepper slaves as the command line and the screen write them: "0x14,0x1C".
std::string StepperList(const std::vector<uint8_t>& slaves, const char* separator);

namespace host {
class AppendFile;
}

// What `korvane flash` and `korvane station` do first: parse the command line, print the
// help when asked, open the record file for appending. -1 to go on; otherwise the exit status
// (a usage error has been said on standard error, and nothing is sent).
int PrepareFlashRun(int argc, char** argv, bool station, FLASH_OPTIONS* options,
                    host::AppendFile* record);
