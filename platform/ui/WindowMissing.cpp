// The window back end's answers in a program built without FLTK (cmake/ui-window.cmake builds
// this file instead of the back end's own sources).
#include "platform/ui/WindowBackEnd.h"

#include <string>

BOOL UiWindowBuilt() {
    return FALSE;
}

BOOL UiWindowAvailable(std::string* pWhy) {
    if (pWhy)
        *pWhy = "the window back end is not built into this program (FLTK was not found)";
    return FALSE;
}

CUiBackEnd* UiWindowBackEnd() {
    return nullptr;
}
