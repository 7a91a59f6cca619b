// What --help prints for the program and for each command.
#pragma once

#include <cstdio>

extern const char KORVANE_USAGE[];
extern const char FLASH_USAGE[];
extern const char SCAN_USAGE[];
extern const char STATION_USAGE[];
extern const char PORTS_USAGE[];
// The exit codes, for the program's and the commands' help.
extern const char EXIT_STATUS_HELP[];

// "korvane: <what>" and the hint to --help, on standard error; returns EXIT_USAGE.
int UsageError(const char* command, const char* what);
