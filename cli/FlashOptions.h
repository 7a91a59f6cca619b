// The command line of `korvane flash` and `korvane station`.
#pragma once

#include "protocol/Targets.h"

#include <cstdint>
#include <string>
#include <vector>

struct FLASH_OPTIONS {
    const TARGET_KIND* target = nullptr; // --od or --stepper; with --recipe, the recipe's
    std::vector<uint8_t> slaves;         // in the order they are flashed: OD's one, or LIST
    std::vector<std::string> ports;      // the devices behind COM6:; none: CE_COM6 or the default
    std::string record;                  // the JSON Lines file records are appended to; "" for none
    bool json = false;
    bool quiet = false;
    bool waitPort = false; // station only
    bool help = false;
    std::string file;
    std::string recipe;         // --recipe: target, slaves and image come from it once approved
    bool allowUnsigned = false; // --unsigned: a recipe without a signature, on a bench
};

// Parses the arguments behind the command's name (argv[0]). Returns "" or what is wrong, in
// one line. `station` takes --wait-port and none of --json and --quiet.
std::string ParseFlashOptions(int argc, char** argv, bool station, FLASH_OPTIONS* options);

// Reads --stepper's LIST ("0x14,0x1C" or "20,28") into *slaves. "" or what is wrong.
std::string ParseStepperList(const std::string& list, std::vector<uint8_t>* slaves);

// Stepper slaves as the command line and the screen write them: "0x14,0x1C".
std::string StepperList(const std::vector<uint8_t>& slaves, const char* separator);

namespace host {
class AppendFile;
}

// What `korvane flash` and `korvane station` do first: parse the command line, print the
// help when asked, open the record file for appending, and refuse a free run (FILE, no
// recipe) where the station requires recipes. -1 to go on; otherwise the exit status (the
// error has been said on standard error, and nothing is sent).
int PrepareFlashRun(int argc, char** argv, bool station, FLASH_OPTIONS* options,
                    host::AppendFile* record);
