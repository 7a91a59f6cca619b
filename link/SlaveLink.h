// Moves whole frames between the transport and the serial port, one exchange at a time under
// one lock. The link owns the process's one serial port, COM6: at 115200 8N1.
#pragma once

#include "windows.h"
#include "afxcoll.h"

// The slave starts its reply within this time; each byte that is not a flag starts the wait
// afresh. Whoever plays a slow slave (the simulator's delayed replies) measures from it.
const DWORD SLAVE_REPLY_TIMEOUT_MS = 5000;
// Within a reply the bytes follow each other at line speed; a longer pause cuts it off.
const DWORD SLAVE_NEXT_BYTE_TIMEOUT_MS = 10;

// The port the slave is on, as CreateFile names it; the host's tools name it too.
const int SLAVE_PORT = 6;
const WCHAR SLAVE_PORT_NAME[] = L"COM6:";

class CFrame;
class CComPort;

class CSlaveLink {
public:
    // The one link of the process; making it opens the port. Null when the port cannot be
    // opened; the next call starts again with a new link and a new port.
    static CSlaveLink* GetLink();

    virtual ~CSlaveLink();

    DWORD Init();

    // Drains the input, writes the finished request and collects the reply up to its closing
    // flag. On ERR_OK *reply holds a new frame the caller deletes; otherwise it stays null.
    DWORD Exchange(CFrame* request, CFrame** reply);
    // Drains the input and writes the finished request; reads nothing.
    DWORD Write(CFrame* request);

private:
    CSlaveLink();
    static void CopyOut(const CFrame* request, CByteArray* transmit);
    DWORD DrainAndWrite(CByteArray& transmit);

    CRITICAL_SECTION m_lock;
    bool m_bLockReady;
};

extern CSlaveLink* g_slaveLink;
extern CComPort* g_comPort;
