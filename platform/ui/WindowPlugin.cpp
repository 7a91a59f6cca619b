// The window back end's plugin entry: korvane-window.so exports this one function, and the
// program reaches the back end through it (platform/ui/BackEndPlugin.h).
#include "platform/ui/BackEndPlugin.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/WindowScale.h"

#include "korvane_version.h"

#include <string>

namespace {

const char* Unavailable() {
    static std::string s_why;
    return UiWindowAvailable(&s_why) ? nullptr : s_why.c_str();
}

CUiBackEnd* Make(BOOL bFullScreen) {
    WinSetFullScreen(bFullScreen);
    return UiWindowBackEnd();
}

} // namespace

extern "C" __attribute__((visibility("default"))) const UI_BACK_END_PLUGIN* KorvaneUiPlugin() {
    static const UI_BACK_END_PLUGIN s_plugin = {KORVANE_VERSION, Unavailable, Make};
    return &s_plugin;
}
