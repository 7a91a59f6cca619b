// What --help prints for the program and for each command.
#pragma once

#include <cstdio>
#include <string>

extern const char KORVANE_USAGE[];
extern const char* const FLASH_USAGE;
extern const char* const SCAN_USAGE;
extern const char STATION_USAGE[];
extern const char PORTS_USAGE[];
extern const char RECIPE_NEW_USAGE[];
extern const char RECIPE_CHECK_USAGE[];
extern const char FORWARD_USAGE[];
extern const char REPORT_USAGE[];
// The exit codes, printed from the one table in ExitCodes.h, for the program's and the
// commands' help.
std::string ExitStatusHelp();
extern const char* const EXIT_STATUS_HELP;

// "korvane: <what>" and the hint to --help, on standard error; returns EXIT_USAGE.
int UsageError(const char* command, const char* what);
