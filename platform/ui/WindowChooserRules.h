// What the window back end's file dialog does as a Windows file dialog does it, apart from the
// toolkit: the filter's text, the default extension, the folder it starts in. Kept apart from
// the chooser itself so that it is built, and checked, without a display or the toolkit.
#pragma once

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
