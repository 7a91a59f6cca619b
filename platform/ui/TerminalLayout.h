// Where a dialog template's controls land on a character terminal. A dialog unit is a quarter
// of a column across and an eighth of a row down; controls keep their template positions,
// relative to the dialog's client area, which a one-cell frame surrounds (the caption sits in
// its top edge).
#pragma once

#include "platform/ui/DialogResource.h"

#include <vector>

struct TERM_RECT {
    int col, row, cols, rows;
    bool Contains(int c, int r) const {
        return c >= col && c < col + cols && r >= row && r < row + rows;
    }
};

// A rectangle in dialog units as cells: the position rounded down, the size up.
TERM_RECT TermCellsFromDialogUnits(int x, int y, int cx, int cy);

// The client area's size in cells, and the whole dialog's with its frame.
int TermClientCols(const DLGRESOURCE& resource);
int TermClientRows(const DLGRESOURCE& resource);
inline int TermFrameCols(const DLGRESOURCE& resource) {
    return TermClientCols(resource) + 2;
}
inline int TermFrameRows(const DLGRESOURCE& resource) {
    return TermClientRows(resource) + 2;
}

// The cells a control takes, relative to the client area and cut to it. A control that draws
// on one row (a label, a field, a combo box's field, a radio button, a button lower than the
// three rows a frame needs) takes its first row only, so that neighbours whose sizes rounded
// up into each other's rows are told apart.
TERM_RECT TermControlRect(const DLGRESOURCE& resource, const DLGITEMRESOURCE& item);

// The caption's OK and close buttons, in the frame's top edge, relative to the client area
// (row -1).
TERM_RECT TermCaptionOkRect(const DLGRESOURCE& resource);
TERM_RECT TermCaptionCloseRect(const DLGRESOURCE& resource);

// The text cells of a field drawn as "[text]" (an edit) or "[text v]" (a drop-down combo box).
TERM_RECT TermFieldTextRect(const TERM_RECT& control, bool bCombo);

// The dialog's frame on a screen of the given size: centred when asked, else at the template's
// position. False when the screen is too small to hold it.
bool TermPlaceDialog(const DLGRESOURCE& resource, bool bCentered, int screenCols, int screenRows,
                     TERM_RECT* frame);

// The control under a cell of the client area (template order; statics and progress bars
// only when nothing else is there); -1 for none.
int TermHitTest(const DLGRESOURCE& resource, int col, int row);
