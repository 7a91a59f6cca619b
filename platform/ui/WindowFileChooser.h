// The file dialog of the window back end: the toolkit's native chooser (the desktop's own where
// the toolkit finds one, else its built-in one), modal over the dialog.
#pragma once

#include "platform/ui/UiBackEnd.h"

#include <functional>
#include <string>

// An OFN filter ("Text|*.txt|All|*.*|") as the toolkit's ("Text\t*.txt\nAll\t*.*"); a pair
// without a pattern is left out.
std::string WinChooserFilter(const std::wstring& filter);

// The chosen path with the default extension added, as a Windows file dialog adds it: only
// when the file name has no extension of its own and no file of that exact name exists.
std::wstring WinWithDefaultExtension(const std::wstring& path, const std::wstring& defExt,
                                     const std::function<bool(const std::wstring&)>& exists);

// The folder a chooser starts in: the one holding `file` when it names one that exists, else
// the current folder.
std::string WinChooserFolder(const std::wstring& file);

#ifdef KORVANE_HAVE_FLTK
// Runs the chooser; TRUE with request.fileName set to the full path on OK. The display must
// be open.
BOOL WinRunFileChooser(UI_FILE_REQUEST& request);
#endif
