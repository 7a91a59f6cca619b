// A dialog back end built as a plugin, a shared object the program loads when it is about to
// show a dialog: the window back end (korvane-window.so, in the package korvane-window) is one,
// so that the program itself needs no X11 or FLTK library. The plugin exports one C function,
// KorvaneUiPlugin, which returns the back end's two entries.
#pragma once

#include "platform/ui/UiBackEnd.h"

extern "C" {

struct UI_BACK_END_PLUGIN {
    // The version of korvane the plugin was built with: CUiBackEnd and CUiDialog cross the
    // boundary as C++ objects, so a plugin of another version is not loaded.
    const char* version;
    // Null when the back end can be shown now, else why not (valid until the next call).
    const char* (*unavailable)();
    // The back end, made on first use and kept until the program exits. The plugin holds its
    // own copy of the platform's state: what the program was told for the window (--fullscreen)
    // crosses here.
    CUiBackEnd* (*make)(BOOL bFullScreen);
};

typedef const UI_BACK_END_PLUGIN* (*UI_BACK_END_PLUGIN_ENTRY)();

} // extern "C"

#define KORVANE_UI_PLUGIN_ENTRY "KorvaneUiPlugin"

// Loads the plugin FILE once, from the running program's folder (a build folder) or from the
// folder the package installs plugins in, and returns its entries; null, with the reason in
// `why`, when it is not there or cannot be loaded. A plugin stays loaded until the program exits.
const UI_BACK_END_PLUGIN* UiLoadBackEndPlugin(const char* file, std::string& why);
