// ReadFile and WriteFile on a serial port: the time-out record, honoured on the platform's
// clock at millisecond precision (the waits are polls; the driver's own VTIME is never used).
//
// Reads: ReadIntervalTimeout MAXDWORD with both total fields 0 returns at once with what
// waits. Interval and multiplier MAXDWORD with a constant C returns at once when a byte waits,
// else waits up to C ms for the first byte and returns with what has come. Otherwise the read
// waits for all its bytes up to multiplier x count + constant ms (no total limit when both
// are 0), and up to the interval between two bytes once the first has come (0: no limit).
// A time-out is no error: the call succeeds with the bytes that came, perhaps none.
//
// Writes loop over partial writes until all bytes are out or the bound passes: the bytes'
// time on the line at its baud (a multiplier of MAXDWORD) or multiplier x count ms, plus the
// constant. With both 0 the bound is the bytes' time plus 5 s, so no write waits for ever. A
// write that runs out of time succeeds with fewer bytes written and the last error
// ERROR_TIMEOUT.
#include "winbase.h"
#include "ce_clock.h"
#include "platform/host/interrupt.h"
#include "ce_trace.h"
#include "comm_handle.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kUnboundedWriteUs = 5000u * 1000u;

std::shared_ptr<ce::CommHandle> Prepare(HANDLE h, ce::CommCall call, LPCVOID buffer, DWORD count,
                                        LPDWORD done, LPOVERLAPPED overlapped) {
    if (done)
        *done = 0;
    std::shared_ptr<ce::CommHandle> handle = ce::FindHandle(h);
    if (!handle)
        return nullptr;
    if (overlapped || !done || (!buffer && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (const DWORD error = handle->device->InjectedFailure(call)) {
        SetLastError(error);
        return nullptr;
    }
    // An interrupted process sends nothing more to the slave.
    if (call == ce::CommCall::WriteFile && host::InterruptSignal()) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return nullptr;
    }
    return handle;
}

// A bound too far for the clock's microseconds (a large multiplier times a large count) is
// no bound at all, never a wrapped one that has already passed.
uint64_t AfterMs(uint64_t startUs, uint64_t ms) {
    if (ms > (kForever - startUs) / 1000u)
        return kForever;
    return startUs + ms * 1000u;
}

} // namespace

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    auto handle = Prepare(hFile, ce::CommCall::ReadFile, lpBuffer, nNumberOfBytesToRead,
                          lpNumberOfBytesRead, lpOverlapped);
    if (!handle)
        return FALSE;
    ce::CommDevice& device = *handle->device;
    BYTE* const out = static_cast<BYTE*>(lpBuffer);
    const DWORD asked = nNumberOfBytesToRead;
    DWORD got = 0;
    DWORD error = ERROR_READ_FAULT;
    auto readNow = [&]() -> long {
        const long taken = device.ReadNow(out + got, asked - got, &error);
        if (taken > 0)
            got += static_cast<DWORD>(taken);
        return taken;
    };

    if (asked > 0 && readNow() < 0) {
        SetLastError(error);
        return FALSE;
    }
    const COMMTIMEOUTS& t = handle->timeouts;
    const uint64_t startUs = ce::NowUs();
    bool timedOut = false;
    if (got == asked || (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                         t.ReadTotalTimeoutConstant == 0)) {
        // done: everything came, or the caller asked only for what waits
    } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
               t.ReadTotalTimeoutConstant != MAXDWORD) {
        const uint64_t deadline = AfterMs(startUs, t.ReadTotalTimeoutConstant);
        while (got == 0) {
            if (!device.WaitReadable(deadline)) {
                timedOut = true;
                break;
            }
            if (readNow() < 0) {
                SetLastError(error);
                *lpNumberOfBytesRead = got;
                return FALSE;
            }
            // Ready but empty (a spurious wake-up): go on waiting only while time is left.
            if (got == 0 && ce::NowUs() >= deadline) {
                timedOut = true;
                break;
            }
        }
    } else {
        const bool totalLimit =
            t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
        const uint64_t totalMs = static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * asked +
                                 t.ReadTotalTimeoutConstant;
        const uint64_t totalDeadline = totalLimit ? AfterMs(startUs, totalMs) : kForever;
        const bool intervalLimit = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD;
        uint64_t lastByteUs = startUs;
        while (got < asked) {
            uint64_t deadline = totalDeadline;
            if (intervalLimit && got > 0)
                deadline = std::min(deadline, AfterMs(lastByteUs, t.ReadIntervalTimeout));
            if (!device.WaitReadable(deadline)) {
                timedOut = true;
                break;
            }
            const long taken = readNow();
            if (taken < 0) {
                SetLastError(error);
                *lpNumberOfBytesRead = got;
                return FALSE;
            }
            if (taken > 0) {
                lastByteUs = ce::NowUs();
            } else if (deadline != kForever && ce::NowUs() >= deadline) {
                timedOut = true;
                break;
            }
        }
    }
    *lpNumberOfBytesRead = got;
    if (ce::TraceOn()) {
        if (got > 0)
            ce::TraceBytes(handle->name, "R", out, got, asked);
        if (timedOut)
            ce::TraceLine(handle->name, "read time-out after %llu ms, %lu of %lu bytes",
                          static_cast<unsigned long long>((ce::NowUs() - startUs) / 1000),
                          static_cast<unsigned long>(got), static_cast<unsigned long>(asked));
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    auto handle = Prepare(hFile, ce::CommCall::WriteFile, lpBuffer, nNumberOfBytesToWrite,
                          lpNumberOfBytesWritten, lpOverlapped);
    if (!handle)
        return FALSE;
    ce::CommDevice& device = *handle->device;
    const BYTE* const in = static_cast<const BYTE*>(lpBuffer);
    const DWORD asked = nNumberOfBytesToWrite;

    const COMMTIMEOUTS& t = handle->timeouts;
    const uint64_t baud = std::max<DWORD>(device.BaudRate(), 1);
    const uint64_t lineUs =
        (static_cast<uint64_t>(asked) * device.BitsPerByte() * 1000000u + baud - 1) / baud;
    const uint64_t startUs = ce::NowUs();
    uint64_t deadline;
    if (t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0)
        deadline = startUs + lineUs + kUnboundedWriteUs;
    else if (t.WriteTotalTimeoutMultiplier == MAXDWORD)
        deadline = startUs + lineUs + static_cast<uint64_t>(t.WriteTotalTimeoutConstant) * 1000u;
    else
        deadline = AfterMs(startUs, static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) * asked +
                                        t.WriteTotalTimeoutConstant);

    DWORD done = 0;
    bool timedOut = false;
    DWORD error = ERROR_WRITE_FAULT;
    while (done < asked) {
        const long put = device.WriteNow(in + done, asked - done, &error);
        if (put < 0) {
            *lpNumberOfBytesWritten = done;
            if (ce::TraceOn())
                ce::TraceLine(handle->name, "write failed after %lu of %lu bytes, error %lu",
                              static_cast<unsigned long>(done), static_cast<unsigned long>(asked),
                              static_cast<unsigned long>(error));
            SetLastError(error);
            return FALSE;
        }
        done += static_cast<DWORD>(put);
        if (done < asked &&
            ((put == 0 && ce::NowUs() >= deadline) || !device.WaitWritable(deadline))) {
            timedOut = true;
            break;
        }
    }
    *lpNumberOfBytesWritten = done;
    if (ce::TraceOn()) {
        ce::TraceBytes(handle->name, "W", in, done, asked);
        if (timedOut)
            ce::TraceLine(handle->name, "write time-out after %llu ms, %lu of %lu bytes",
                          static_cast<unsigned long long>((ce::NowUs() - startUs) / 1000),
                          static_cast<unsigned long>(done), static_cast<unsigned long>(asked));
    }
    SetLastError(timedOut ? ERROR_TIMEOUT : ERROR_SUCCESS);
    return TRUE;
}
