// Message boxes of the window back end: a modal window with the caption, the icon of the MB_
// style (a stop sign for MB_ICONHAND), the text and the buttons of the style. Enter answers
// with the first button, Space with the focused one, Esc and the close button with Cancel (or
// OK in a box that has only OK).
#pragma once

#include "platform/ui/UiMessageBox.h"

#include <string>

class Fl_Window;

// Shows the box centred over `pOver` (the screen when null) until it is answered. The display
// must be open.
int WinRunMessageBox(const std::wstring& text, const std::wstring& caption, UINT nType,
                     Fl_Window* pOver);
