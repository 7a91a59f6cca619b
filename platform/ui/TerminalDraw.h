// Drawing on the terminal screen: the dialog with its controls, frames for boxes, and the note
// shown when the screen cannot hold the dialog. Draws into ncurses's screen; the caller
// flushes.
#pragma once

#include "platform/ui/TerminalDialogView.h"
#include "platform/ui/TerminalLayout.h"

#include <string>

enum TERM_ATTR {
    TA_NORMAL = 0,
    TA_REVERSE = 1, // focus, a highlighted entry
    TA_BOLD = 2,
    TA_ALARM = 4, // white on red where the terminal has colours
};

// Text at a cell, cut to at most `cols` columns and to the screen.
void TermDrawText(int col, int row, const std::wstring& text, int cols, int attr = TA_NORMAL);
// Blanks a rectangle and draws a frame round its edge, with a title in the top edge.
void TermDrawFrame(const TERM_RECT& rect, const std::wstring& title);
// Shows the cursor at a cell, or hides it.
void TermPlaceCursor(int col, int row, bool bVisible);

// The whole dialog inside `frame` (screen cells), an open drop-down list on top, and the
// cursor on the focused control.
void TermDrawDialog(CTerminalDialogView& view, const TERM_RECT& frame);

// The cells of a progress bar that its position fills, as the dialog draws it.
int TermProgressCells(const DLGRESOURCE& resource, const CUiControl& bar);

// Clears the screen and says that it is too small for the dialog, and how large it must be.
void TermDrawTooSmall(const DLGRESOURCE& resource);
