// The exit status of every command, one table. A failure never exits 0.
#pragma once

const int EXIT_UPDATED = 0;       // every slave ended with "Update sucessfully completed"
const int EXIT_UPDATE_FAILED = 1; // "Update failed! Error N", or any other unfinished update
const int EXIT_USAGE = 2;         // the command line, or a record file that cannot be appended to
const int EXIT_FILE = 3;          // the HEX file could not be opened, read or taken
const int EXIT_PORT = 4;          // the serial port did not open
const int EXIT_ERASE = 5;         // "Error Erasing"
const int EXIT_PROGRAM = 6;       // "Programming error"
const int EXIT_INTERRUPTED = 130; // SIGINT or SIGTERM
