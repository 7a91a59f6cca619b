// Where a back end puts a template's controls: dialog units to its own units, as Win32's
// MapDialogRect does. A dialog unit is a quarter of the font's average character width across
// and an eighth of its height down; a terminal takes one cell as the base unit both ways.
#pragma once

#include "platform/ui/DialogResource.h"

struct UI_RECT {
    int x, y, cx, cy;
};

// The rectangle in units of baseX across and baseY down (pixels or cells). Positions round
// down and sizes up, so a control is never drawn smaller than the template makes it.
UI_RECT MapDialogRect(short x, short y, short cx, short cy, int baseX, int baseY);
