#include "platform/ui/UiMessageBox.h"

std::vector<UI_BOX_BUTTON> UiMessageBoxButtons(UINT nType) {
    switch (nType & 0x0Fu) {
    case MB_OKCANCEL:
        return {{L"OK", IDOK}, {L"Cancel", IDCANCEL}};
    case MB_YESNO:
        return {{L"Yes", IDYES}, {L"No", IDNO}};
    default:
        return {{L"OK", IDOK}};
    }
}

int UiMessageBoxEscape(UINT nType) {
    const std::vector<UI_BOX_BUTTON> buttons = UiMessageBoxButtons(nType);
    for (const UI_BOX_BUTTON& button : buttons) {
        if (button.result == IDCANCEL)
            return IDCANCEL;
    }
    return buttons.size() == 1 ? buttons[0].result : 0;
}
