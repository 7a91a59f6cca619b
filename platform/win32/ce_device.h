// What a serial port handle stands for: a device that the platform's serial calls (winbase.h)
// drive. The host's terminals are one kind (termios_device.h); a test's in-memory device with
// a scripted peer is another (ce_memory_device.h). The time-out record and the read and write
// policies belong to the platform (comm_io.cpp); a device only moves bytes without waiting and
// waits for readiness on the clock.
#pragma once

#include "winbase.h"

#include <cstdint>

namespace ce {

// The platform calls a device can be made to fail (a test's in-memory device does).
enum class CommCall {
    SetupComm,
    GetCommState,
    SetCommState,
    GetCommTimeouts,
    SetCommTimeouts,
    ReadFile,
    WriteFile,
    ClearCommError,
};

class CommDevice {
public:
    virtual ~CommDevice() = default;

    // Called by CreateFileW for a device registered under a name, before the handle exists:
    // refuse (FALSE, *error) to let the open fail, e.g. a second exclusive open.
    virtual BOOL Attach(bool exclusive, DWORD* error) {
        (void)exclusive;
        (void)error;
        return TRUE;
    }
    // Releases what the open took (locks, the descriptor). Called once per open, by CloseHandle.
    virtual void Close() = 0;

    // A failure to report for this call instead of doing it: 0, or the error code.
    virtual DWORD InjectedFailure(CommCall call) {
        (void)call;
        return 0;
    }

    // Each returns FALSE with the error code in *error when the device cannot do it.
    virtual BOOL Setup(DWORD inQueue, DWORD outQueue, DWORD* error) = 0;
    virtual BOOL GetState(DCB* dcb, DWORD* error) = 0;
    virtual BOOL SetState(const DCB& dcb, DWORD* error) = 0;
    virtual BOOL QueueStatus(DWORD* errors, COMSTAT* stat, DWORD* error) = 0;

    // Moves up to max bytes that can be read now into buffer, without waiting. Returns the
    // count (0 when nothing waits) or -1 with *error set.
    virtual long ReadNow(BYTE* buffer, DWORD max, DWORD* error) = 0;
    // Moves up to count bytes out without waiting; returns the count taken or -1 with *error.
    virtual long WriteNow(const BYTE* buffer, DWORD count, DWORD* error) = 0;
    // Wait on the current clock until a read or write can make progress (TRUE) or the clock
    // reaches deadlineUs (FALSE).
    virtual bool WaitReadable(uint64_t deadlineUs) = 0;
    virtual bool WaitWritable(uint64_t deadlineUs) = 0;
    // Line speed in bits per second and bits per byte on the wire (start, data, parity, stop),
    // for the bound on a write.
    virtual DWORD BaudRate() = 0;
    virtual DWORD BitsPerByte() = 0;
};

// System calls made on host devices by the serial layer (reads, writes, polls, ioctls), for
// measuring; counted with one relaxed atomic increment each.
uint64_t HostCallCount();
void CountHostCall();

} // namespace ce
