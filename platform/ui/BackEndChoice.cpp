#include "platform/ui/BackEndChoice.h"
#include "platform/ui/TerminalBackEnd.h"
#include "platform/ui/WindowBackEnd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

CUiBackEnd* Terminal() {
    static CTerminalBackEnd s_terminal;
    return &s_terminal;
}

} // namespace

CUiBackEnd* UiDefaultBackEnd() {
    const char* chosen = std::getenv("KORVANE_UI");
    if (!chosen || !*chosen)
        return UiWindowAvailable() ? UiWindowBackEnd() : Terminal();
    if (std::strcmp(chosen, "terminal") == 0)
        return Terminal();
    std::string why;
    if (std::strcmp(chosen, "window") == 0) {
        if (UiWindowAvailable(&why))
            return UiWindowBackEnd();
        std::fprintf(stderr, "korvane: no window: %s; using the terminal\n", why.c_str());
    } else
        std::fprintf(stderr,
                     "korvane: KORVANE_UI=%s is no dialog back end (terminal, window); "
                     "using the terminal\n",
                     chosen);
    return Terminal();
}
