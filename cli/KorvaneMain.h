// The program's command line: with no command the dialog, as on the device; the commands
// flash, scan, station and ports serve a line, a jig or a script without a person at it.
#pragma once

// Runs what the command line asks for and returns the process's exit status (ExitCodes.h).
int KorvaneMain(int argc, char** argv);
