// A host terminal as a serial port device: a tty (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, a
// pseudo-terminal) opened without blocking, taken exclusively when asked, in raw mode.
// Something that opens but is no terminal (a regular file, /dev/null) still opens, so that the
// caller's first serial call (SetupComm) is the one that fails, as on the device.
#pragma once

#include "ce_device.h"

#include <memory>
#include <string>

namespace ce {

class TermiosDevice : public CommDevice {
public:
    // Opens path for reading and writing; exclusive takes TIOCEXCL and an advisory lock
    // (flock), given back on Close. Null with *error when the path cannot be opened or
    // someone else holds it; *cause then holds the errno (EWOULDBLOCK: another holds the lock).
    // A path that opens but is no terminal gives a device with *cause telling why it is not.
    static std::shared_ptr<TermiosDevice> Open(const std::string& path, bool exclusive,
                                               DWORD* error, int* cause);
    ~TermiosDevice() override;

    void Close() override;
    BOOL Setup(DWORD inQueue, DWORD outQueue, DWORD* error) override;
    BOOL GetState(DCB* dcb, DWORD* error) override;
    BOOL SetState(const DCB& dcb, DWORD* error) override;
    BOOL QueueStatus(DWORD* errors, COMSTAT* stat, DWORD* error) override;
    long ReadNow(BYTE* buffer, DWORD max, DWORD* error) override;
    long WriteNow(const BYTE* buffer, DWORD count, DWORD* error) override;
    bool WaitReadable(uint64_t deadlineUs) override;
    bool WaitWritable(uint64_t deadlineUs) override;
    DWORD BaudRate() override { return m_baudRate; }
    DWORD BitsPerByte() override { return m_bitsPerByte; }
    bool IsTerminal() const { return m_terminal; }

private:
    TermiosDevice(int fd, bool terminal, bool exclusive);
    bool Wait(short events, uint64_t deadlineUs);
    void AskLowLatency();
    void LetOutputLeave();
    BOOL NotTerminal(DWORD* error) const;

    int m_fd;
    bool m_terminal;
    bool m_exclusive;
    // What termios cannot hold (DSR flow, null stripping, limits, some special characters)
    // is kept as last set, so that GetCommState gives back what SetCommState was given.
    DCB m_shadow;
    DWORD m_baudRate = 9600;
    DWORD m_bitsPerByte = 10;
};

} // namespace ce
