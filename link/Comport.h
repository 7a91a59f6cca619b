// CComPort: the system's only access to the serial line that leads to the slave. It opens a
// port by number, sets its line, queue sizes and time-outs, writes blocks of bytes, reads bytes
// one at a time with a time-out chosen per call, drains the input queue and closes the port.
// It knows nothing of frames. Every operation answers TRUE or FALSE; its diagnostics go to the
// console (set-up and read) and to the debugger (write), never to the operator.
//
// Calling order: Open once; then any sequence of FlushInput, Write and Read; Close before the
// port is deleted (the destructor releases nothing). The port has no lock of its own.
#pragma once

#include "windows.h"

// FlushInput gives up after this many reads of a queue that never empties (a peer that never
// stops sending): four times the 1024-byte input queue that Open asks for, about 0.36 s of
// continuous bytes at 115200 baud and 4.3 s at 9600.
const int COMPORT_FLUSH_MAX_READS = 4096;

class CComPort {
public:
    CComPort();
    virtual ~CComPort();

    // Opens COM<port>: (port 0 to 9), sets its line (115200 baud without flow control on ports
    // 2 and 6, 9600 baud with CTS flow and RTS handshaking on the others; 8N1 always), queues
    // of 1024 bytes and time-outs, and drains it. A failure after the device opened leaves it
    // open for Close.
    BOOL Open(int port);
    // Releases the device handle if there is one; always TRUE.
    BOOL Close();
    // Reads count bytes one at a time, each waiting up to timeout ms; TRUE only when all came,
    // with a zero byte stored behind them (buffer holds count + 1 bytes). 1023 bytes in one
    // call are a full buffer and fail. A count of 0 stores only the zero byte; a negative
    // count fails without reading.
    BOOL Read(char* buffer, int count, DWORD timeout);
    // Writes count bytes; TRUE only when the platform wrote all of them.
    BOOL Write(const void* buffer, int count);
    // Discards what waits in the input queue. FALSE when it gave up after
    // COMPORT_FLUSH_MAX_READS reads with bytes still waiting.
    BOOL FlushInput();
    // TRUE when no byte waits in the input queue.
    BOOL IsInputEmpty();
    // Writes one byte, without a message.
    BOOL WriteByte(BYTE value);

private:
    DCB m_dcb;
    HANDLE m_handle;
    DWORD m_errors;
    BOOL m_lastResult;
    COMSTAT m_comStat;
    COMMTIMEOUTS m_timeouts;
};
