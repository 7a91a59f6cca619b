#include "platform/host/terminal_caps.h"

#include <cstdlib>
#include <term.h>

namespace host {
namespace {

std::string* g_collected = nullptr;

int Collect(int c) {
    g_collected->push_back(static_cast<char>(c));
    return c;
}

bool Present(const char* value) {
    return value != nullptr && value != reinterpret_cast<const char*>(-1);
}

// The bytes that send `value`: tputs takes out the padding a capability may name ("$<50>"),
// which would otherwise reach the screen as text.
std::string Sendable(const char* value) {
    std::string bytes;
    if (!Present(value))
        return bytes;
    g_collected = &bytes;
    tputs(value, 1, Collect);
    g_collected = nullptr;
    return bytes;
}

// A string capability of the terminal set up now; "" when it has none.
std::string Capability(const char* name) {
    return Sendable(tigetstr(name));
}

// The colour numbers setaf takes.
const int kRed = 1;
const int kGreen = 2;

} // namespace

TerminalCaps ReadTerminalCaps(int fd) {
    TerminalCaps caps;
    // setupterm replaces ncurses's current terminal; the one before (a dialog's screen) is put
    // back once the strings are copied.
    TERMINAL* const before = cur_term;
    int error = 0;
    if (setupterm(nullptr, fd, &error) != 0) { // 0: OK
        set_curterm(before);
        return caps;
    }
    caps.carriageReturn = Capability("cr");
    caps.clearToEnd = Capability("el");
    caps.cursorUp = Capability("cuu1");
    caps.clearScreen = Capability("clear");
    caps.alert = Capability("bel");
    const char* noColor = std::getenv("NO_COLOR");
    const char* setaf = tigetstr("setaf");
    const std::string plain = Capability("sgr0");
    if (tigetnum("colors") >= 8 && Present(setaf) && !plain.empty() && !(noColor && *noColor)) {
        caps.bold = Capability("bold");
        caps.green = Sendable(tiparm(setaf, kGreen));
        caps.red = Sendable(tiparm(setaf, kRed));
        caps.plain = plain;
    }
    del_curterm(set_curterm(before));
    return caps;
}

} // namespace host
