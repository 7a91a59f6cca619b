// Which dialog back end a program shows its dialogs with when it set none itself.
#pragma once

#include "platform/ui/UiBackEnd.h"

// KORVANE_UI=terminal or KORVANE_UI=window chooses; without it, the window when it can be
// shown (UiWindowAvailable) and the terminal otherwise. (A window that cannot be shown, or an
// unknown name, is said so on standard error, and the terminal is used.) The back end lives
// until the program exits.
CUiBackEnd* UiDefaultBackEnd();
