// The DCB of a host terminal, as termios and the modem-control lines hold it.
//
// Raw mode always (the device's ports are binary only). fOutxCtsFlow or RTS handshaking
// become CRTSCTS, which on Linux covers both directions; fOutX and fInX become IXON and IXOFF
// with XonChar and XoffChar; DTR and RTS are raised or lowered with TIOCMBIS and TIOCMBIC
// where the driver has modem lines (a pty has none). Linux has no DSR flow control, no null
// stripping and no RTS toggling: those fields are kept as set and given back, and otherwise
// do nothing (RTS_CONTROL_TOGGLE leaves RTS low).
#include "termios_device.h"
#include "ce_clock.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>

namespace ce {
namespace {

struct SpeedEntry {
    DWORD baud;
    speed_t code;
};

const SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool CodeForBaud(DWORD baud, speed_t* code) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.baud == baud) {
            *code = entry.code;
            return true;
        }
    }
    return false;
}

DWORD BaudForCode(speed_t code) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.code == code)
            return entry.baud;
    }
    return 0;
}

DWORD BitsPerByteOf(const DCB& dcb) {
    return 1 + dcb.ByteSize + (dcb.Parity == NOPARITY ? 0 : 1) +
           (dcb.StopBits == ONESTOPBIT ? 1 : 2);
}

} // namespace

BOOL TermiosDevice::GetState(DCB* dcb, DWORD* error) {
    if (!m_terminal)
        return NotTerminal(error);
    termios tio;
    CountHostCall();
    if (tcgetattr(m_fd, &tio) != 0) {
        *error = ERROR_GEN_FAILURE;
        return FALSE;
    }
    DCB state = m_shadow;
    state.DCBlength = sizeof(DCB);
    state.fBinary = 1;
    if (const DWORD baud = BaudForCode(cfgetospeed(&tio)))
        state.BaudRate = baud;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        state.ByteSize = 5;
        break;
    case CS6:
        state.ByteSize = 6;
        break;
    case CS7:
        state.ByteSize = 7;
        break;
    default:
        state.ByteSize = 8;
        break;
    }
    if (!(tio.c_cflag & PARENB))
        state.Parity = NOPARITY;
    else if (tio.c_cflag & CMSPAR)
        state.Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        state.Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    state.fParity = (tio.c_iflag & INPCK) ? 1 : 0;
    if (!(tio.c_cflag & CSTOPB))
        state.StopBits = ONESTOPBIT;
    else if (state.StopBits == ONESTOPBIT)
        state.StopBits = TWOSTOPBITS;
    const bool hardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
    state.fOutxCtsFlow = hardwareFlow ? 1 : 0;
    state.fOutX = (tio.c_iflag & IXON) ? 1 : 0;
    state.fInX = (tio.c_iflag & IXOFF) ? 1 : 0;
    state.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    state.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);

    int lines = 0;
    CountHostCall();
    const bool haveLines = ioctl(m_fd, TIOCMGET, &lines) == 0;
    if (hardwareFlow)
        state.fRtsControl = RTS_CONTROL_HANDSHAKE;
    else if (haveLines && state.fRtsControl != RTS_CONTROL_TOGGLE)
        state.fRtsControl = (lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    else if (state.fRtsControl == RTS_CONTROL_HANDSHAKE)
        state.fRtsControl = RTS_CONTROL_ENABLE;
    if (haveLines && !(state.fDtrControl == DTR_CONTROL_HANDSHAKE && (lines & TIOCM_DTR)))
        state.fDtrControl = (lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;

    m_baudRate = state.BaudRate;
    m_bitsPerByte = BitsPerByteOf(state);
    *dcb = state;
    return TRUE;
}

BOOL TermiosDevice::SetState(const DCB& dcb, DWORD* error) {
    if (!m_terminal)
        return NotTerminal(error);
    speed_t speed;
    const bool xonXoff = dcb.fOutX || dcb.fInX;
    if (!CodeForBaud(dcb.BaudRate, &speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
        dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS ||
        (xonXoff && dcb.XonChar == dcb.XoffChar)) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    termios tio;
    CountHostCall();
    if (tcgetattr(m_fd, &tio) != 0) {
        *error = ERROR_GEN_FAILURE;
        return FALSE;
    }
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK); // cfmakeraw leaves these
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL;
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case ODDPARITY:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        tio.c_cflag |= PARENB;
        break;
    case MARKPARITY:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        tio.c_cflag |= CSTOPB;
    const bool hardwareFlow = dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (hardwareFlow)
        tio.c_cflag |= CRTSCTS;
    if (dcb.fParity)
        tio.c_iflag |= INPCK;
    if (dcb.fOutX)
        tio.c_iflag |= IXON;
    if (dcb.fInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // Reads never block in the driver: the descriptor is non-blocking and every wait is a
    // poll on the platform's clock, so VMIN and VTIME play no part.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    CountHostCall();
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    // tcsetattr succeeds when any part of the change took; check the framing and the speed.
    // (CRTSCTS is not checked: adapters without flow-control lines drop it, and the device's
    // own drivers take such a DCB too.)
    termios now;
    CountHostCall();
    if (tcgetattr(m_fd, &now) != 0 || cfgetospeed(&now) != speed ||
        (now.c_cflag & (CSIZE | PARENB | CSTOPB)) != (tio.c_cflag & (CSIZE | PARENB | CSTOPB))) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }

    // The modem-control lines; a driver without them (a pty) refuses, and that is fine.
    const int dtr = TIOCM_DTR;
    CountHostCall();
    ioctl(m_fd, dcb.fDtrControl == DTR_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &dtr);
    if (!hardwareFlow) {
        const int rts = TIOCM_RTS;
        CountHostCall();
        ioctl(m_fd, dcb.fRtsControl == RTS_CONTROL_ENABLE ? TIOCMBIS : TIOCMBIC, &rts);
    }

    m_shadow = dcb;
    m_baudRate = dcb.BaudRate;
    m_bitsPerByte = BitsPerByteOf(dcb);
    return TRUE;
}

} // namespace ce
