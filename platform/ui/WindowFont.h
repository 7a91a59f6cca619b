// The font of the window back end's dialogs and boxes: the toolkit's sans-serif at about the
// pixel size of an 8-point dialog font on a 96 dpi screen, times the display's scale.
#pragma once

#include "platform/ui/WindowScale.h"

#include <FL/Enumerations.H>

inline Fl_Font WinFont() {
    return FL_HELVETICA;
}

inline Fl_Fontsize WinFontSize() {
    return WinScaled(kWinBaseFontSize);
}
