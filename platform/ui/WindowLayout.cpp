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

// value * base / divisor, rounded to the nearest pixel (halves up), as Windows' MulDiv.
int Scale(long value, long base, long divisor) {
    const long twice = 2 * value * base + divisor;
    const long quotient = twice / (2 * divisor);
    return static_cast<int>(twice % (2 * divisor) < 0 ? quotient - 1 : quotient);
}

// A rectangle in dialog units to pixels by its edges, as Windows' MapDialogRect maps a RECT:
// controls that touch in the template touch on the screen, without a pixel of overlap.
UI_RECT MapEdges(short x, short y, short cx, short cy, WIN_BASE_UNITS units) {
    const int left = Scale(x, units.x, 4), right = Scale(x + cx, units.x, 4);
    const int top = Scale(y, units.y, 8), bottom = Scale(y + cy, units.y, 8);
    return UI_RECT{left, top, right - left, bottom - top};
}

} // namespace

WIN_BASE_UNITS WinBaseUnits(int lettersWidth, int fontHeight) {
    const int x = (lettersWidth + 26) / 52;
    return WIN_BASE_UNITS{std::max(1, x), std::max(1, fontHeight)};
}

WIN_DIALOG_PLACE WinPlaceDialog(const DLGRESOURCE& dialog, WIN_BASE_UNITS units,
                                int comboFieldHeight) {
    const UI_RECT client = MapEdges(0, 0, dialog.cx, dialog.cy, units);
    WIN_DIALOG_PLACE place{client.cx, client.cy, {}};
    for (UINT i = 0; i < dialog.itemCount; ++i) {
        const DLGITEMRESOURCE& item = dialog.items[i];
        UI_RECT rect = MapEdges(item.x, item.y, item.cx, item.cy, units);
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
    const UI_RECT at = MapEdges(dialog.x, dialog.y, 0, 0, units);
    int x = bCentered ? (screenCx - cx) / 2 : at.x;
    int y = bCentered ? (screenCy - cy) / 2 : at.y;
    *pX = std::max(0, x);
    *pY = std::max(0, y);
}
