#include "platform/ui/BackEndChoice.h"
#include "platform/ui/TerminalBackEnd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

CUiBackEnd* Terminal() {
    static CTerminalBackEnd s_terminal;
    return &s_terminal;
}

} // namespace

CUiBackEnd* UiDefaultBackEnd() {
    const char* chosen = std::getenv("KORVANE_UI");
    if (!chosen || !*chosen || std::strcmp(chosen, "terminal") == 0)
        return Terminal();
    if (std::strcmp(chosen, "window") == 0)
        std::fprintf(stderr, "korvane: the window back end is not built into this program; "
                             "using the terminal\n");
    else
        std::fprintf(stderr,
                     "korvane: KORVANE_UI=%s is no dialog back end (terminal, window); "
                     "using the terminal\n",
                     chosen);
    return Terminal();
}
