// The file dialog of the window back end: the toolkit's native chooser (the desktop's own where
// the toolkit finds one, else its built-in one), modal over the dialog.
#pragma once

#include "platform/ui/UiBackEnd.h"
#include "platform/ui/WindowChooserRules.h"

// Runs the chooser; TRUE with request.fileName set to the full path on OK. The display must
// be open.
BOOL WinRunFileChooser(UI_FILE_REQUEST& request);
