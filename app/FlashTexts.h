// What the update shows the operator, each text once: the update puts them in the status line
// and the message boxes, and a run without a screen tells its exit status by them.
#pragma once

#include "windows.h"

// The status line.
extern const TCHAR STATUS_PORT_ERROR[];     // "Error opening port"
extern const TCHAR STATUS_READING[];        // "Reading file"
extern const TCHAR STATUS_OPEN_ERROR[];     // "Error opening file"
extern const TCHAR STATUS_READ_ERROR[];     // "Error reading file"
extern const TCHAR STATUS_CHECKSUM_ERROR[]; // "Checksum error"
extern const TCHAR STATUS_RANGE_ERROR[];    // "Address out of range"
extern const TCHAR STATUS_ERASING[];        // "Erasing"; it stays after a failed erase
extern const TCHAR STATUS_PROGRAMMING[];    // "Programming..."
extern const TCHAR STATUS_PROGRAM_ERROR[];  // "Programming error"
extern const TCHAR STATUS_RESETTING[];      // "Resetting slave"
extern const TCHAR STATUS_GETTING_STATUS[]; // "Getting status"
extern const TCHAR STATUS_UPDATE_DONE[];    // "Update sucessfully completed"
// The box and then the status line of a failed update, with the slave's status byte.
extern const TCHAR FORMAT_UPDATE_FAILED[]; // "Update failed! Error %d"

// The message boxes.
extern const TCHAR BOX_ERASE_ERROR[];      // "Error Erasing"
extern const TCHAR BOX_PROGRAM_ERROR[];    // "Error while programming"
extern const TCHAR BOX_UPDATE_SUCCEEDED[]; // "Update succeeded!"
