// Which dialog back end a program shows its dialogs with when it set none itself.
#pragma once

#include "platform/ui/UiBackEnd.h"

// KORVANE_UI names the back end (terminal or window); without it, the first in order of
// preference that can be shown now: the window (UiWindowAvailable), else the terminal. A named
// back end that cannot be shown, or an unknown name, is said so on standard error, and the
// terminal is used. The back end lives until the program exits.
CUiBackEnd* UiDefaultBackEnd();
