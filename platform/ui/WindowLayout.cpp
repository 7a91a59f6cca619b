#include "platform/ui/WindowLayout.h"

#include <algorithm>
#include <cwctype>
#include <string>

namespace {

bool IsComboBox(const DLGITEMRESOURCE& item) {
    const std::wstring combo = L"combobox";
    const std::wstring name = item.className ? item.className : L"";
    if (name.size() != combo.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (static_cast<wchar_t>(std::towlower(static_cast<wint_t>(name[i]))) != combo[i])
            return false;
    }
    return true;
}

} // namespace

WIN_BASE_UNITS WinBaseUnits(int lettersWidth, int fontHeight) {
    const int x = (lettersWidth + 26) / 52;
    return WIN_BASE_UNITS{std::max(1, x), std::max(1, fontHeight)};
}

WIN_DIALOG_PLACE WinPlaceDialog(const DLGRESOURCE& dialog, WIN_BASE_UNITS units,
                                int comboFieldHeight) {
    const UI_RECT client = MapDialogRect(0, 0, dialog.cx, dialog.cy, units.x, units.y);
    WIN_DIALOG_PLACE place{client.cx, client.cy, {}};
    for (UINT i = 0; i < dialog.itemCount; ++i) {
        const DLGITEMRESOURCE& item = dialog.items[i];
        UI_RECT rect = MapDialogRect(item.x, item.y, item.cx, item.cy, units.x, units.y);
        if (IsComboBox(item))
            rect.cy = std::min(rect.cy, std::max(1, comboFieldHeight));
        place.cx = std::max(place.cx, rect.x + rect.cx);
        place.cy = std::max(place.cy, rect.y + rect.cy);
        place.controls.push_back(rect);
    }
    return place;
}

void WinPlaceWindow(const DLGRESOURCE& dialog, WIN_BASE_UNITS units, BOOL bCentered, int cx, int cy,
                    int screenCx, int screenCy, int* pX, int* pY) {
    const UI_RECT at = MapDialogRect(dialog.x, dialog.y, 0, 0, units.x, units.y);
    int x = bCentered ? (screenCx - cx) / 2 : at.x;
    int y = bCentered ? (screenCy - cy) / 2 : at.y;
    *pX = std::max(0, x);
    *pY = std::max(0, y);
}
