// The operator's input on a terminal, as the terminal back end's parts see it: keys by what
// they do, and mouse clicks by cell.
#pragma once

#include <cwchar>

enum TERM_KEY_KIND {
    TK_CHAR, // a printable character, in ch (Space included)
    TK_TAB,
    TK_BACKTAB, // Shift+Tab
    TK_ENTER,
    TK_ESC,
    TK_UP,
    TK_DOWN,
    TK_LEFT,
    TK_RIGHT,
    TK_HOME, // Home, Ctrl+A
    TK_END,  // End, Ctrl+E
    TK_PAGEUP,
    TK_PAGEDOWN,
    TK_BACKSPACE,
    TK_DELETE,
    TK_KILL_START, // Ctrl+U: delete up to the caret
    TK_KILL_END,   // Ctrl+K: delete from the caret on
    TK_DROPDOWN,   // F4: open or close a drop-down list
    TK_CLICK,      // the first mouse button, at col, row (screen cells)
    TK_RESIZE,     // the terminal changed its size
    TK_OTHER,      // anything else: ignored
    TK_LOST,       // the terminal is gone (hung up, closed)
};

struct TERM_KEY {
    TERM_KEY_KIND kind;
    wchar_t ch;
    int col, row;
};

inline TERM_KEY TermKey(TERM_KEY_KIND kind, wchar_t ch = 0) {
    return {kind, ch, 0, 0};
}

inline TERM_KEY TermClick(int col, int row) {
    return {TK_CLICK, 0, col, row};
}
