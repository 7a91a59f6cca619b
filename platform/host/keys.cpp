#include "platform/host/keys.h"

#include "platform/host/interrupt.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace host {
namespace {

// The terminal's settings as the program found them, taken once: a second KeyInput must not
// take the first one's raw settings for them.
termios g_saved;
std::atomic<bool> g_savedValid{false};

// Async-signal-safe (tcsetattr only): it also runs from the handler of a signal that comes
// while the program cleans up after the first.
void Restore() {
    if (g_savedValid.load())
        tcsetattr(0, TCSANOW, &g_saved);
}

// Reads one byte within ms; 0 and the byte, -1 for none in time, -2 at the end.
int ReadByte(int ms, int interruptFd, unsigned char* byte) {
    pollfd polled[2] = {{0, POLLIN, 0}, {interruptFd, POLLIN, 0}};
    int ready;
    do
        ready = poll(polled, 2, ms);
    while (ready < 0 && errno == EINTR && interruptFd < 0);
    if (ready <= 0 || polled[0].revents == 0)
        return KEY_NONE;
    const ssize_t got = read(0, byte, 1);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
        return KEY_END_OF_INPUT;
    return got == 1 ? 0 : KEY_NONE;
}

} // namespace

KeyInput::KeyInput() {
    if (!isatty(0))
        return;
    if (!g_savedValid.load()) {
        if (tcgetattr(0, &g_saved) != 0)
            return;
        g_savedValid.store(true);
        std::atexit(Restore);
        host::AtGiveBack(Restore);
    }
    termios raw = g_saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    m_raw = tcsetattr(0, TCSANOW, &raw) == 0;
}

KeyInput::~KeyInput() {
    if (m_raw)
        Restore();
}

void KeyInput::DropTypeahead() {
    if (m_raw)
        tcflush(0, TCIFLUSH);
}

int KeyInput::Next(int ms, int interruptFd) {
    if (m_ended)
        return KEY_END_OF_INPUT;
    unsigned char byte = 0;
    const int got = ReadByte(ms, interruptFd, &byte);
    if (got == KEY_END_OF_INPUT)
        m_ended = true;
    if (got != 0)
        return got;
    // Ctrl+D on a terminal in this mode is a byte like any other; it still ends the input.
    if (m_raw && byte == 4) {
        m_ended = true;
        return KEY_END_OF_INPUT;
    }
    if (byte != KEY_ESCAPE)
        return byte;
    // Esc alone, or the start of a key's sequence (ESC [ A ...) whose bytes follow at once.
    bool sequence = false;
    while (ReadByte(m_raw ? 30 : 0, -1, &byte) == 0)
        sequence = true;
    return sequence ? KEY_NONE : KEY_ESCAPE;
}

} // namespace host
