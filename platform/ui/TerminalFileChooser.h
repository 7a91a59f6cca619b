// The terminal's file dialog: a framed list of one folder's entries over the dialog. Up, Down,
// Page Up, Page Down, Home and End move; a letter jumps to the next entry beginning with it;
// Enter (or a click on the entry already highlighted) opens a folder or picks a file;
// Backspace goes up a folder; Tab reaches the "Open" and "Cancel" buttons; Esc cancels.
#pragma once

#include "platform/ui/TerminalLayout.h"
#include "platform/ui/UiBackEnd.h"

#include <functional>

// On a pick, TRUE with request.fileName set to the file's full path. The terminal must be held.
BOOL TermRunFileChooser(UI_FILE_REQUEST& request, const TERM_RECT& over,
                        const std::function<void()>& drawBehind);
