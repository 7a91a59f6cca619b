// The terminal as the back end's screen: taken over with ncurses while a dialog, a message box
// or a file chooser is shown, and given back as it was found on every way out: the last
// release, exit(), and a fatal or terminating signal.
#pragma once

#include "platform/ui/TerminalKeys.h"

#include <string>

class CTerminalScreen {
public:
    // Takes the terminal over on the first of nested calls. False with `error` set when there
    // is no usable terminal (standard input or output not a terminal, unknown TERM).
    static bool Acquire(std::string* error);
    // Gives the terminal back on the last of nested calls.
    static void Release();
    static bool IsActive();

    static int Cols();
    static int Rows();
    // Whether the terminal shows Unicode (box drawing, blocks); else plain ASCII is drawn.
    static bool IsUnicode();

    // Waits for the next key or click.
    static TERM_KEY ReadKey();
    // Sends what was drawn to the terminal now.
    static void Flush();
    // Forgets keys and clicks that arrived but were not read yet.
    static void DropTypeahead();
};

// Holds the terminal for a scope.
class CTerminalHold {
public:
    CTerminalHold() : m_bHeld(CTerminalScreen::Acquire(&m_error)) {}
    ~CTerminalHold() {
        if (m_bHeld)
            CTerminalScreen::Release();
    }
    CTerminalHold(const CTerminalHold&) = delete;
    CTerminalHold& operator=(const CTerminalHold&) = delete;

    bool IsHeld() const { return m_bHeld; }
    const std::string& Error() const { return m_error; }

private:
    std::string m_error;
    bool m_bHeld;
};
