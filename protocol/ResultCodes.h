// Result codes of the protocol and link layers. 0 is success; callers compare with ERR_OK only.
#pragma once

#include "windows.h"

enum : DWORD {
    ERR_OK = 0,
    ERR_BAD_ARGUMENT = 63,    // a value width or argument outside what the operation accepts
    ERR_NO_LAYER = 65,        // the layer below could not be had when a layer was created
    ERR_PARAM_NOT_FOUND = 67, // the reply does not carry the expected parameter
    ERR_BAD_REPLY = 68,       // the reply is too short, or its lengths do not fit its bytes
    ERR_EMPTY_REPLY = 69,     // the reply's parameter block is empty
    ERR_FCS = 70,             // wrong frame check sequence, or too short to hold one
    ERR_PORT_OPEN = 71,       // the serial port could not be created or opened
    ERR_NO_REPLY = 72,        // a reply stopped before its closing flag, or an erase was refused
    ERR_WRITE = 73,           // the request could not be written
    ERR_REPLY_TIMEOUT = 74,   // no opening flag of a reply arrived within the reply time-out
};

// The code's name as written above ("ERR_FCS"), for the maintainer's log; "ERR_UNKNOWN" for a
// code not in the list.
LPCWSTR ResultCodeName(DWORD code);
