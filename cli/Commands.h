// The commands of the program's command line. Each is given the arguments behind its name
// (argv[0] is the command's name) and returns the exit status (ExitCodes.h).
#pragma once

int FlashCommand(int argc, char** argv);
int ScanCommand(int argc, char** argv);
int StationCommand(int argc, char** argv);
int PortsCommand(int argc, char** argv);
int RecipeCommand(int argc, char** argv);
int SerialsCommand(int argc, char** argv);
int ForwardCommand(int argc, char** argv);
int ReportCommand(int argc, char** argv);
