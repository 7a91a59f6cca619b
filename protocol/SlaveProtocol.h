// The slave's commands, one operation each. Every request carries one parameter whose
// identifier names the command; the reply answers in the parameter of the same identifier.
#pragma once

#include "windows.h"

class CFrameTransport;

class CSlaveProtocol {
public:
    // The one command layer of the process; making it makes the transport, the link and the
    // open serial port below it. Null when they cannot be had (the next call tries again).
    static CSlaveProtocol* GetProtocol();

    virtual ~CSlaveProtocol();

    DWORD Init();

    DWORD ReadData(BYTE address, BYTE* buffer, BYTE capacity);
    DWORD Reset(BYTE address);
    DWORD GetStatus(BYTE address, BYTE* status);
    DWORD Erase(BYTE address, WORD start);
    DWORD Program(BYTE address, WORD target, const BYTE* data, BYTE count);

    // For a record of an update: the result of the last GetStatus (it tells a status read from
    // the slave from one that never came), and the transport whose counts it reads.
    DWORD GetLastStatusResult() const { return m_dwLastStatusResult; }
    const CFrameTransport* GetTransport() const { return m_pTransport; }

private:
    CSlaveProtocol();
    DWORD ReadStatus(BYTE address, BYTE* status);

    CFrameTransport* m_pTransport;
    DWORD m_dwLastStatusResult;
};

extern CSlaveProtocol* g_slaveProtocol;
