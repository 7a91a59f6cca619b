// Where the window back end puts a dialog template's controls, in pixels: dialog units through
// the font's base units, each edge rounded to the nearest pixel, as Windows lays out a dialog.
// Pure arithmetic, so that it can be checked without a display.
#pragma once

#include "platform/ui/UiLayout.h"

#include <vector>

struct WIN_BASE_UNITS {
    int x; // average character width in pixels
    int y; // character height in pixels
};

// The base units of a font, measured as Windows measures them: the width in pixels of the 52
// letters A-Z and a-z, averaged and rounded; the font's height. Never below 1.
WIN_BASE_UNITS WinBaseUnits(int lettersWidth, int fontHeight);

struct WIN_DIALOG_PLACE {
    int cx, cy;                    // client area
    std::vector<UI_RECT> controls; // in template order, relative to the client area
};

// The client area and the controls of `dialog`. A combo box takes `comboFieldHeight` pixels
// for its closed field (its template height is that of the open list). The client area is
// the template's size, grown where a control reaches past it, so that no control is cut.
WIN_DIALOG_PLACE WinPlaceDialog(const DLGRESOURCE& dialog, WIN_BASE_UNITS units,
                                int comboFieldHeight);

// The top-left corner of a window of cx by cy on a screen of screenCx by screenCy: centred,
// or at the template's position, and never off the screen's top-left.
void WinPlaceWindow(const DLGRESOURCE& dialog, WIN_BASE_UNITS units, BOOL bCentered, int cx, int cy,
                    int screenCx, int screenCy, int* pX, int* pY);
