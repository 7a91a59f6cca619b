// Opening, closing and moving bytes on a host terminal.
#include "termios_device.h"
#include "ce_clock.h"
#include "platform/host/exclusive_ports.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ce {
namespace {

std::atomic<uint64_t> g_hostCalls{0};

DWORD ErrorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case EIO:
        return ERROR_GEN_FAILURE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace

uint64_t HostCallCount() {
    return g_hostCalls.load(std::memory_order_relaxed);
}
void CountHostCall() {
    g_hostCalls.fetch_add(1, std::memory_order_relaxed);
}

std::shared_ptr<TermiosDevice> TermiosDevice::Open(const std::string& path, bool exclusive,
                                                   DWORD* error, int* cause) {
    // No controlling terminal, and no wait for carrier on open.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *cause = errno;
        *error = ErrorFromErrno(errno);
        return nullptr;
    }
    termios tio;
    const bool terminal = tcgetattr(fd, &tio) == 0;
    // ENOTTY for a file; EIO for a UART port with no UART behind it.
    *cause = terminal ? 0 : errno;
    if (exclusive) {
        // The advisory lock keeps out programs that honour it and, unlike TIOCEXCL, holds
        // against root and against a second open in this process.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            *cause = errno;
            *error = errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno);
            ::close(fd);
            return nullptr;
        }
        if (terminal && ioctl(fd, TIOCEXCL) == 0)
            RememberExclusive(fd);
    }
    std::shared_ptr<TermiosDevice> device(new TermiosDevice(fd, terminal, exclusive));
    if (terminal) {
        device->AskLowLatency();
        DWORD ignored;
        DCB dcb;
        device->GetState(&dcb, &ignored); // learn the line's speed for the write bound
    }
    return device;
}

TermiosDevice::TermiosDevice(int fd, bool terminal, bool exclusive)
    : m_fd(fd), m_terminal(terminal), m_exclusive(exclusive), m_shadow() {
    m_shadow.DCBlength = sizeof(DCB);
    m_shadow.fBinary = 1;
    m_shadow.fTXContinueOnXoff = 1;
    m_shadow.XonLim = 512;
    m_shadow.XoffLim = 128;
}

TermiosDevice::~TermiosDevice() {
    Close();
}

void TermiosDevice::Close() {
    if (m_fd < 0)
        return;
    if (m_terminal) {
        LetOutputLeave();
        if (m_exclusive)
            ioctl(m_fd, TIOCNXCL);
    }
    if (m_exclusive)
        flock(m_fd, LOCK_UN);
    ForgetExclusive(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

// What was written before a close is the caller's last word (a Reset just before the program
// ends), so it is let out first; but only for as long as it needs on the wire plus 100 ms, on
// the real clock, since a held CTS or a peer that does not read would otherwise keep close()
// for the kernel's 30 s. What is still queued then is thrown away. A pty's output queue always
// reads empty (its bytes already wait in the peer's input), and a flush there would throw away
// what the peer has not read yet: nothing is flushed when the queue reads empty.
void TermiosDevice::LetOutputLeave() {
    int queued = 0;
    if (ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
        return;
    const uint64_t baud = m_baudRate ? m_baudRate : 9600;
    const uint64_t boundUs = uint64_t(queued) * m_bitsPerByte * 1000000 / baud + 100000;
    const uint64_t deadlineUs = RealClock().NowUs() + boundUs;
    for (uint64_t nowUs = RealClock().NowUs(); queued > 0 && nowUs < deadlineUs;
         nowUs = RealClock().NowUs()) {
        RealClock().SleepUntilUs(std::min(nowUs + 1000, deadlineUs));
        if (ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            return;
    }
    if (queued > 0)
        tcflush(m_fd, TCOFLUSH);
}

// FTDI and other USB adapters hold received bytes up to 16 ms unless asked for low latency,
// longer than the link's 10 ms between bytes. Drivers without the request (a pty) refuse it,
// and the port works on without it.
void TermiosDevice::AskLowLatency() {
    serial_struct serial;
    if (ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(m_fd, TIOCSSERIAL, &serial);
}

BOOL TermiosDevice::NotTerminal(DWORD* error) const {
    *error = ERROR_INVALID_HANDLE;
    return FALSE;
}

// Linux sizes a terminal's queues itself; the call checks that this is a serial port.
BOOL TermiosDevice::Setup(DWORD inQueue, DWORD outQueue, DWORD* error) {
    (void)inQueue;
    (void)outQueue;
    if (!m_terminal)
        return NotTerminal(error);
    return TRUE;
}

BOOL TermiosDevice::QueueStatus(DWORD* errors, COMSTAT* stat, DWORD* error) {
    if (!m_terminal)
        return NotTerminal(error);
    int waiting = 0;
    int unsent = 0;
    CountHostCall();
    if (ioctl(m_fd, FIONREAD, &waiting) != 0) {
        *error = ErrorFromErrno(errno);
        return FALSE;
    }
    if (ioctl(m_fd, TIOCOUTQ, &unsent) != 0)
        unsent = 0;
    *stat = COMSTAT();
    stat->cbInQue = static_cast<DWORD>(waiting);
    stat->cbOutQue = static_cast<DWORD>(unsent);
    // Line errors are not collected here: the serial layer's callers store them unread.
    *errors = 0;
    return TRUE;
}

long TermiosDevice::ReadNow(BYTE* buffer, DWORD max, DWORD* error) {
    for (;;) {
        CountHostCall();
        const ssize_t got = ::read(m_fd, buffer, max);
        if (got > 0 || max == 0)
            return static_cast<long>(got);
        if (got == 0) {
            // Nothing, or the end: a terminal whose other side has gone (a pty's master
            // closed, a USB adapter pulled) reads as empty for ever and polls as hung up.
            pollfd pfd{m_fd, POLLIN, 0};
            CountHostCall();
            if (poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                *error = ERROR_READ_FAULT;
                return -1;
            }
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        *error = errno == EIO ? ERROR_READ_FAULT : ErrorFromErrno(errno);
        return -1;
    }
}

long TermiosDevice::WriteNow(const BYTE* buffer, DWORD count, DWORD* error) {
    for (;;) {
        CountHostCall();
        const ssize_t put = ::write(m_fd, buffer, count);
        if (put >= 0)
            return static_cast<long>(put);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        *error = errno == EIO ? ERROR_WRITE_FAULT : ErrorFromErrno(errno);
        return -1;
    }
}

// A hang-up or an error counts as ready, so that the next read or write reports it.
bool TermiosDevice::Wait(short events, uint64_t deadlineUs) {
    const int shown = CurrentClock().WaitFd(m_fd, events, deadlineUs);
    return shown != 0;
}

bool TermiosDevice::WaitReadable(uint64_t deadlineUs) {
    return Wait(POLLIN, deadlineUs);
}
bool TermiosDevice::WaitWritable(uint64_t deadlineUs) {
    return Wait(POLLOUT, deadlineUs);
}

} // namespace ce
