#include "platform/ui/BackEndChoice.h"
#include "platform/ui/TerminalBackEnd.h"
#include "platform/ui/WindowBackEnd.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A dialog back end the operator can choose by name. A new one is one set of files and one row
// in kChoices.
struct UI_BACK_END_CHOICE {
    const char* name;
    // Whether it can be shown now; `pWhy`, when given, gets the reason when not.
    BOOL (*available)(std::string* pWhy);
    // The back end, made on first use and kept until the program exits.
    CUiBackEnd* (*make)();
};

// A terminal is always there to try: without one it ends the dialog at once.
BOOL TerminalAvailable(std::string* /*pWhy*/) {
    return TRUE;
}

CUiBackEnd* Terminal() {
    static CTerminalBackEnd s_terminal;
    return &s_terminal;
}

// In order of preference; the last row, always available, is the one used when the chosen one
// cannot be. The scripted back end (tests) and the headless one (the flash command) are not rows:
// no operator chooses them, and their users make them with what they need (a script, a listener)
// and set them themselves.
const UI_BACK_END_CHOICE kChoices[] = {
    {"window", UiWindowAvailable, UiWindowBackEnd},
    {"terminal", TerminalAvailable, Terminal},
};
const size_t kChoiceCount = sizeof kChoices / sizeof kChoices[0];
const UI_BACK_END_CHOICE& kFallback = kChoices[kChoiceCount - 1];

// The names, in alphabetical order, as the operator is told them.
std::string ChoiceNames() {
    std::vector<std::string> names;
    for (const UI_BACK_END_CHOICE& choice : kChoices)
        names.push_back(choice.name);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

const UI_BACK_END_CHOICE* Named(const char* name) {
    for (const UI_BACK_END_CHOICE& choice : kChoices) {
        if (std::strcmp(choice.name, name) == 0)
            return &choice;
    }
    return nullptr;
}

} // namespace

CUiBackEnd* UiDefaultBackEnd() {
    const char* chosen = std::getenv("KORVANE_UI");
    if (!chosen || !*chosen) {
        for (const UI_BACK_END_CHOICE& choice : kChoices) {
            if (choice.available(nullptr))
                return choice.make();
        }
        return kFallback.make();
    }
    const UI_BACK_END_CHOICE* named = Named(chosen);
    std::string why;
    if (named && named->available(&why))
        return named->make();
    if (named)
        std::fprintf(stderr, "korvane: no %s: %s; using the %s\n", named->name, why.c_str(),
                     kFallback.name);
    else
        std::fprintf(stderr, "korvane: KORVANE_UI=%s is no dialog back end (%s); using the %s\n",
                     chosen, ChoiceNames().c_str(), kFallback.name);
    return kFallback.make();
}
