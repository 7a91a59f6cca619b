// What a message box offers, whatever draws it: the buttons of its MB_ type, left to right,
// the first one the default, and what Esc (or a window's close button) answers.
#pragma once

#include "windows.h"
#include "winuser.h"

#include <vector>

struct UI_BOX_BUTTON {
    const wchar_t* label;
    int result;
};

// The buttons of an MB_ type, left to right; the first answers Enter.
std::vector<UI_BOX_BUTTON> UiMessageBoxButtons(UINT nType);
// What Esc answers: Cancel where the box has it, OK in a box with only OK, else 0 (Esc does
// nothing: neither Yes nor No is Esc's to give).
int UiMessageBoxEscape(UINT nType);
