#include "platform/ui/TerminalScreen.h"
#include "platform/ui/TerminalCurses.h"

#include "platform/host/interrupt.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

int g_nHolds = 0;
SCREEN* g_pScreen = nullptr;
bool g_bUnicode = false;

// What a signal handler needs to give the terminal back without ncurses: the terminal's
// settings as found, and the bytes that leave ncurses's modes (alternate screen, hidden
// cursor, keypad mode, mouse reports, attributes), written out in advance.
struct termios g_savedTermios;
bool g_bTermiosSaved = false;
char g_restoreBytes[512];
size_t g_restoreLength = 0;

// How signals were taken before the screen was held.
host::SignalMode g_previousMode = host::SignalMode::DEFAULT;

void AppendRestore(const char* bytes) {
    if (!bytes || bytes == reinterpret_cast<const char*>(-1))
        return;
    const size_t length = std::strlen(bytes);
    if (g_restoreLength + length < sizeof g_restoreBytes) {
        std::memcpy(g_restoreBytes + g_restoreLength, bytes, length);
        g_restoreLength += length;
    }
}

// Given back by the program's signal handling before a signal ends it. Async-signal-safe:
// write and tcsetattr only; nothing once the screen is released.
void RestoreFromSignal() {
    if (g_restoreLength > 0) {
        ssize_t written = write(STDOUT_FILENO, g_restoreBytes, g_restoreLength);
        (void)written;
    }
    if (g_bTermiosSaved)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
}

void GiveBack() {
    endwin();
    host::SetSignalMode(g_previousMode);
    if (g_bTermiosSaved)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
    delscreen(g_pScreen);
    g_pScreen = nullptr;
    g_restoreLength = 0;
}

// A program that calls exit() with a dialog on the screen still leaves the terminal usable.
void AtExit() {
    if (g_nHolds > 0) {
        g_nHolds = 0;
        GiveBack();
    }
}

void PrepareRestoreBytes() {
    g_restoreLength = 0;
    AppendRestore("\033[?1000l\033[?1002l\033[?1003l\033[?1006l"); // mouse reports off
    AppendRestore(tigetstr(const_cast<char*>("sgr0")));
    AppendRestore(tigetstr(const_cast<char*>("cnorm")));
    AppendRestore(tigetstr(const_cast<char*>("rmkx")));
    AppendRestore(tigetstr(const_cast<char*>("rmcup")));
}

void SetUpScreen() {
    cbreak(); // Ctrl+C still interrupts, and the terminal is given back on the way out
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    set_escdelay(25);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    if (has_colors()) {
        start_color();
        use_default_colors();
        init_pair(1, COLOR_WHITE, COLOR_RED);
    }
}

} // namespace

bool CTerminalScreen::Acquire(std::string* error) {
    if (g_nHolds > 0) {
        ++g_nHolds;
        return true;
    }
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        *error = "the dialog needs a terminal: standard input and output are not one";
        return false;
    }
    static bool s_bOnce = false;
    if (!s_bOnce) {
        s_bOnce = true;
        std::setlocale(LC_CTYPE, "");
        std::atexit(AtExit);
    }
    g_bUnicode = MB_CUR_MAX > 1 && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    g_bTermiosSaved = tcgetattr(STDIN_FILENO, &g_savedTermios) == 0;
    g_pScreen = newterm(nullptr, stdout, stdin);
    if (!g_pScreen) {
        const char* term = std::getenv("TERM");
        *error = std::string("the terminal type is unknown (TERM=") + (term ? term : "") + ")";
        return false;
    }
    set_term(g_pScreen);
    SetUpScreen();
    PrepareRestoreBytes();
    // While the dialog holds the screen, Ctrl+C and the like end the program at once, as
    // closing the dialog would, and the terminal is given back first.
    host::AtGiveBack(RestoreFromSignal);
    g_previousMode = host::SetSignalMode(host::SignalMode::END);
    g_nHolds = 1;
    return true;
}

void CTerminalScreen::Release() {
    if (g_nHolds == 0 || --g_nHolds > 0)
        return;
    GiveBack();
}

bool CTerminalScreen::IsActive() {
    return g_nHolds > 0;
}

int CTerminalScreen::Cols() {
    return COLS;
}

int CTerminalScreen::Rows() {
    return LINES;
}

bool CTerminalScreen::IsUnicode() {
    return g_bUnicode;
}

void CTerminalScreen::Flush() {
    refresh();
}

void CTerminalScreen::DropTypeahead() {
    flushinp();
}

TERM_KEY CTerminalScreen::ReadKey() {
    int errors = 0;
    for (;;) {
        wint_t ch = 0;
        errno = 0;
        const int got = wget_wch(stdscr, &ch);
        if (got == ERR) {
            if (errno == EINTR)
                continue;
            // A blocking read fails at once, again and again, when the terminal is gone.
            struct pollfd in = {STDIN_FILENO, POLLIN, 0};
            if (poll(&in, 1, 0) < 0 || (in.revents & (POLLHUP | POLLERR | POLLNVAL)) ||
                ++errors >= 10)
                return TermKey(TK_LOST);
            continue;
        }
        if (got == KEY_CODE_YES) {
            switch (ch) {
            case KEY_BTAB:
                return TermKey(TK_BACKTAB);
            case KEY_UP:
                return TermKey(TK_UP);
            case KEY_DOWN:
                return TermKey(TK_DOWN);
            case KEY_LEFT:
                return TermKey(TK_LEFT);
            case KEY_RIGHT:
                return TermKey(TK_RIGHT);
            case KEY_HOME:
                return TermKey(TK_HOME);
            case KEY_END:
                return TermKey(TK_END);
            case KEY_PPAGE:
                return TermKey(TK_PAGEUP);
            case KEY_NPAGE:
                return TermKey(TK_PAGEDOWN);
            case KEY_BACKSPACE:
                return TermKey(TK_BACKSPACE);
            case KEY_DC:
                return TermKey(TK_DELETE);
            case KEY_ENTER:
                return TermKey(TK_ENTER);
            case KEY_F(4):
                return TermKey(TK_DROPDOWN);
            case KEY_RESIZE:
                return TermKey(TK_RESIZE);
            case KEY_MOUSE: {
                MEVENT event;
                if (getmouse(&event) != ERR && (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
                    return TermClick(event.x, event.y);
                return TermKey(TK_OTHER);
            }
            default:
                return TermKey(TK_OTHER);
            }
        }
        switch (ch) {
        case L'\t':
            return TermKey(TK_TAB);
        case L'\r':
        case L'\n':
            return TermKey(TK_ENTER);
        case 27:
            return TermKey(TK_ESC);
        case 127:
        case 8:
            return TermKey(TK_BACKSPACE);
        case 1:
            return TermKey(TK_HOME);
        case 5:
            return TermKey(TK_END);
        case 11:
            return TermKey(TK_KILL_END);
        case 21:
            return TermKey(TK_KILL_START);
        default:
            if (ch >= 32)
                return TermKey(TK_CHAR, static_cast<wchar_t>(ch));
            return TermKey(TK_OTHER);
        }
    }
}
