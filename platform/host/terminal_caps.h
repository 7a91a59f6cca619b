// What the terminal named by TERM can do, read from the terminfo database, as the strings that
// do it. A string is empty where the terminal cannot do that (TERM=dumb, TERM unset or unknown),
// so a caller that finds what it needs empty writes plain lines instead.
#pragma once

#include <string>

namespace host {

struct TerminalCaps {
    std::string carriageReturn; // to the start of the line
    std::string clearToEnd;     // erases from the cursor to the end of the line
    std::string cursorUp;       // one line up
    std::string clearScreen;    // erases the screen, the cursor at its top left
    std::string alert;          // the bell
    // Only where the terminal has at least eight colours and NO_COLOR is not set (or empty).
    std::string bold, green, red;
    std::string plain; // ends bold and colour
};

// The capabilities for TERM as it stands now; `fd` is the stream they are meant for.
TerminalCaps ReadTerminalCaps(int fd);

} // namespace host
