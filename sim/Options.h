// The simulator's command line.
#pragma once

#include "sim/Faults.h"
#include "sim/SlaveSet.h"

#include <string>
#include <vector>

namespace ksim {

struct SimOptions {
    std::string device;       // a serial device to open instead of a new pty
    std::string link;         // a symbolic link to make to the pty
    std::string logPath;      // the JSON-lines request log; "-" for standard error
    std::string hexDir;       // where the Intel HEX dumps go at exit
    unsigned baud = 0;        // pacing of both directions; 0: none
    unsigned packetUs = 0;    // replies handed over in packets of this span; 0: byte by byte
    unsigned eraseMs = 0;     // processing time of an Erase
    unsigned programMs = 0;   // processing time of a Program
    unsigned frameGapMs = 50; // a request silent for this long mid-frame is cut off; 0: never
    bool exitOnClose = false;
    bool help = false;
    bool version = false;
    SlaveBehaviour behaviour;
    FaultOptions faults;
};

// Parses the arguments; false with `error` set on anything it cannot take.
bool ParseOptions(int argc, char** argv, SimOptions* options, std::string* error);

// The text of --help.
const char* HelpText();

// The long options the parser takes, without their dashes.
std::vector<std::string> OptionNames();

} // namespace ksim
