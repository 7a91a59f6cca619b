// How large the window back end draws. A dialog template in dialog units is as large as its
// font: on a 96 dpi screen the 12 px font gives 427 x 218 px, too small on a 4K screen or a
// touch panel. The scale multiplies the font (and so the base units and every control), and
// is the display's: its Xft.dpi over 96 where the X resources give it, else KORVANE_SCALE.
// Full screen (korvane --fullscreen, for a machine's own panel) grows the font further, as far
// as the template still fits the screen. Pure arithmetic and settings: no display needed.
#pragma once

#include "windows.h"

#include <string>

// The font's pixel size at scale 1, as an 8-point dialog font on a 96 dpi screen.
const int kWinBaseFontSize = 12;
const double kWinMinScale = 1.0, kWinMaxScale = 4.0;

// The scale an Xft.dpi resource's value gives (dpi / 96, held within 1 to 4); 0 when there is
// no value or it is not a number of dots per inch.
double WinScaleFromDpi(const char* dpi);
// The scale KORVANE_SCALE's value gives: a number from 1 to 4; 0 when unset or empty. A value
// that is not such a number gives 1, and *pWhy says why.
double WinScaleFromSetting(const char* value, std::string* pWhy);
// The display's scale from both: Xft.dpi's where it gives one, else KORVANE_SCALE's, else 1.
double WinChooseScale(const char* dpi, const char* setting, std::string* pWhy);

// The scale the back end draws at, for every dialog and box; 1 until set.
void WinSetScale(double scale);
double WinScale();
// A length in pixels at scale 1, at the current scale (rounded; never below 1).
int WinScaled(int pixels);

// Whether dialogs fill the screen (the program's --fullscreen); off until set.
void WinSetFullScreen(BOOL bFullScreen);
BOOL WinFullScreen();
