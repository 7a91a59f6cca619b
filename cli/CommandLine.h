// The commands' options, read with getopt_long, and the one --port they share.
#pragma once

#include <functional>
#include <getopt.h>
#include <string>
#include <vector>

// Every command's --port: the device behind the slave's port (COM6:) for this run.
const int OPTION_PORT = 0x100;
const option PORT_OPTION = {"port", required_argument, nullptr, OPTION_PORT};
// Every command's -h and --help.
const option HELP_OPTION = {"help", no_argument, nullptr, 'h'};

// Reads argv (argv[0] is the command's name) against `options` (ending with a zeroed entry),
// handing each option's id and value to `take`, which returns "" or what is wrong. The other
// arguments go to *operands, in order. Returns "" or what is wrong, in one line: an unknown
// option, a value missing or empty, a value given to an option that takes none.
std::string ReadOptions(int argc, char** argv, const option* options,
                        const std::function<std::string(int id, const std::string& value)>& take,
                        std::vector<std::string>* operands);

// The same for a command that takes options only: any other argument is wrong.
std::string ReadFlags(int argc, char** argv, const option* options,
                      const std::function<std::string(int id, const std::string& value)>& take);

// The slave's port as the operator reads it ("COM6:"), and the host path it opens now.
std::string SlavePortText();
std::string SlavePortPath();

// Puts the device behind the slave's port for this process (what --port says), so that the
// reason it does not open names --port as where it came from.
void UsePort(const std::string& device);
