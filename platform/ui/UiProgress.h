// How much of a progress bar its position fills, in the back end's own units (terminal cells,
// window pixels). A back end draws the bar from this alone, so it needs to draw again only when
// this changes: an update moves the position once a block, far more often than a cell or a
// pixel changes.
#pragma once

#include "platform/ui/UiControl.h"

// The units of a bar `length` units long that the control's position fills, 0 to length.
int UiProgressFill(const CUiControl& bar, int length);
