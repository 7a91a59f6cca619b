// A modal message box on the terminal: the text, wrapped, in a frame with the caption,
// centred over the dialog; a stop sign for MB_ICONHAND; the buttons of its MB_ type. Enter or
// Space answers with the focused button (the first), a click with the button clicked, Esc
// with Cancel (or OK in a box that has only OK).
#pragma once

#include "platform/ui/TerminalLayout.h"
#include "platform/ui/UiMessageBox.h"

#include <functional>
#include <string>
#include <vector>

// The text in lines of at most `width` columns: broken at its own line breaks, then between
// words, and inside a word longer than a line.
std::vector<std::wstring> TermWrapText(const std::wstring& text, int width);

// Shows the box over `over` (screen cells; the whole screen when empty) until it is answered.
// `drawBehind` redraws what lies under the box (after a change of the terminal's size).
// The terminal must be held.
int TermRunMessageBox(const std::wstring& text, const std::wstring& caption, UINT nType,
                      const TERM_RECT& over, const std::function<void()>& drawBehind);
