#include "link/Comport.h"

#include "conio.h"

// The driver's input and output queues.
static const DWORD COMPORT_QUEUE_BYTES = 1024;
// One Read that has stored this many bytes has filled its buffer and fails.
static const int COMPORT_READ_BUFFER_FULL = 1023;
// The wait for a byte that Open leaves in the time-out record; every Read sets its own.
static const DWORD COMPORT_OPEN_READ_TIMEOUT_MS = 3000;
// The bound on one write beyond the time its bytes need on the line.
static const DWORD COMPORT_WRITE_TOTAL_TIMEOUT_MS = 300;
// The wait for each byte the drain reads: only what has already arrived is drained.
static const DWORD COMPORT_FLUSH_BYTE_TIMEOUT_MS = 1;

// Everything starts cleared, so that a queue status read before any query is "empty".
CComPort::CComPort()
    : m_dcb(), m_handle(0), m_errors(0), m_lastResult(FALSE), m_comStat(), m_timeouts() {}

// The owner closes the port before deleting it.
CComPort::~CComPort() {}

BOOL CComPort::Open(int port) {
    if (port < 0 || port > 9)
        return FALSE;

    WCHAR digits[33];
    _itow(port, digits, 10);
    WCHAR name[6] = {L'C', L'O', L'M', digits[0], L':', L'\0'};

    m_handle = CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (m_handle == INVALID_HANDLE_VALUE)
        return FALSE;

    m_lastResult = SetupComm(m_handle, COMPORT_QUEUE_BYTES, COMPORT_QUEUE_BYTES);
    if (!m_lastResult) {
        _cprintf("Error SetupComm\n");
        return FALSE;
    }

    m_lastResult = GetCommState(m_handle, &m_dcb);
    if (!m_lastResult) {
        _cprintf("Error GetCommState\n");
        return FALSE;
    }

    // The slave's ports (2 and 6) run at 115200 baud with no flow control at all; the others
    // at 9600 with hardware flow control, keeping the rest of what the driver had.
    if (port == 2 || port == 6) {
        m_dcb.BaudRate = CBR_115200;
        m_dcb.fOutxCtsFlow = 0;
        m_dcb.fOutxDsrFlow = 0;
        m_dcb.fDtrControl = DTR_CONTROL_DISABLE;
        m_dcb.fOutX = 0;
        m_dcb.fInX = 0;
        m_dcb.fNull = 0;
        m_dcb.fRtsControl = RTS_CONTROL_DISABLE;
    } else {
        m_dcb.BaudRate = CBR_9600;
        m_dcb.fOutxCtsFlow = 1;
        m_dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }
    m_dcb.StopBits = ONESTOPBIT;
    m_dcb.fParity = 0;
    m_dcb.fBinary = 1;
    m_dcb.ByteSize = 8;
    m_dcb.Parity = NOPARITY;

    m_lastResult = SetCommState(m_handle, &m_dcb);
    if (!m_lastResult) {
        _cprintf("Error SetCommState\n");
        return FALSE;
    }

    if (!GetCommTimeouts(m_handle, &m_timeouts))
        return FALSE;

    // Reads return at once when a byte waits, else wait for the first one; the read constant
    // is replaced by every Read.
    m_timeouts.ReadIntervalTimeout = MAXDWORD;
    m_timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    m_timeouts.ReadTotalTimeoutConstant = COMPORT_OPEN_READ_TIMEOUT_MS;
    m_timeouts.WriteTotalTimeoutMultiplier = MAXDWORD;
    m_timeouts.WriteTotalTimeoutConstant = COMPORT_WRITE_TOTAL_TIMEOUT_MS;
    m_lastResult = SetCommTimeouts(m_handle, &m_timeouts);
    if (!m_lastResult) {
        _cprintf("Error SetCommTimeouts\n");
        return FALSE;
    }

    // A port that never stops receiving is still open; the drain before each exchange
    // reports it.
    FlushInput();
    return TRUE;
}

BOOL CComPort::Close() {
    if (m_handle != 0)
        CloseHandle(m_handle);
    return TRUE;
}

BOOL CComPort::Read(char* buffer, int count, DWORD timeout) {
    // A negative count has no room behind it for the zero byte; nothing asks for it.
    if (count < 0)
        return FALSE;
    if (count == 0) {
        buffer[0] = '\0';
        return TRUE;
    }

    if (!GetCommTimeouts(m_handle, &m_timeouts))
        return FALSE;
    m_timeouts.ReadIntervalTimeout = MAXDWORD;
    m_timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    m_timeouts.ReadTotalTimeoutConstant = timeout;
    if (!SetCommTimeouts(m_handle, &m_timeouts))
        return FALSE;

    int n = 0;
    for (;;) {
        DWORD got = 0;
        m_lastResult = ReadFile(m_handle, buffer + n, 1, &got, NULL);
        if (!m_lastResult) {
            _cprintf("\nError: ReadFile() failure\n");
            return FALSE;
        }
        if (got == 0)
            return FALSE;
        ++n;
        const BOOL bComplete = n == count;
        // A full buffer fails even on the byte that completed the read.
        if (n >= COMPORT_READ_BUFFER_FULL) {
            _cprintf("\nError: read buffer full\n");
            return FALSE;
        }
        if (bComplete)
            break;
    }
    buffer[n] = '\0';
    return TRUE;
}

BOOL CComPort::Write(const void* buffer, int count) {
    DWORD written = 0;
    BOOL bResult = FALSE;
    if (count >= 0)
        bResult = WriteFile(m_handle, buffer, static_cast<DWORD>(count), &written, NULL);
    // Fewer bytes than asked is a failed write too: the slave would get a cut request.
    if (!bResult || written != static_cast<DWORD>(count)) {
        NKDbgPrintfW(L"WriteFile() time out? expected: %d bytes. Wrote %d!", count,
                     static_cast<int>(written));
        return FALSE;
    }
    return TRUE;
}

BOOL CComPort::FlushInput() {
    char scratch[2];
    for (int reads = 0; reads < COMPORT_FLUSH_MAX_READS; ++reads) {
        if (IsInputEmpty())
            return TRUE;
        Read(scratch, 1, COMPORT_FLUSH_BYTE_TIMEOUT_MS);
    }
    return IsInputEmpty();
}

BOOL CComPort::IsInputEmpty() {
    ClearCommError(m_handle, &m_errors, &m_comStat);
    return m_comStat.cbInQue == 0;
}

BOOL CComPort::WriteByte(BYTE value) {
    DWORD written = 0;
    return WriteFile(m_handle, &value, 1, &written, NULL);
}
