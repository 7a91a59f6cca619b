#include "platform/ui/TerminalLayout.h"

#include "platform/ui/UiLayout.h"
#include "winuser.h"

#include <algorithm>
#include <cwchar>

namespace {

// Sizes of the dialog in cells, as its controls' are: rounded up.
int Cols(int du) {
    return MapDialogRect(0, 0, static_cast<short>(du), 0, 1, 1).cx;
}
int Rows(int du) {
    return MapDialogRect(0, 0, 0, static_cast<short>(du), 1, 1).cy;
}

bool IsClass(const DLGITEMRESOURCE& item, const wchar_t* name) {
    return wcscasecmp(item.className ? item.className : L"", name) == 0;
}

// What a terminal draws on one row: labels, fields, a combo box's field (its template height
// holds its list as well), radio buttons, and any control too low for a frame (three rows).
bool IsOneRow(const DLGITEMRESOURCE& item, int rows) {
    if (IsClass(item, L"msctls_progress32"))
        return false;
    if (IsClass(item, L"BUTTON") && (item.style & BS_TYPEMASK) == BS_PUSHBUTTON)
        return rows < 3;
    return true;
}

bool IsBackground(const DLGITEMRESOURCE& item) {
    const wchar_t* name = item.className ? item.className : L"";
    return wcscasecmp(name, L"STATIC") == 0 || wcscasecmp(name, L"msctls_progress32") == 0;
}

} // namespace

// A cell is the base unit both ways, as every back end maps dialog units.
TERM_RECT TermCellsFromDialogUnits(int x, int y, int cx, int cy) {
    const UI_RECT at = MapDialogRect(static_cast<short>(x), static_cast<short>(y),
                                     static_cast<short>(cx), static_cast<short>(cy), 1, 1);
    return {at.x, at.y, std::max(1, at.cx), std::max(1, at.cy)};
}

int TermClientCols(const DLGRESOURCE& resource) {
    return Cols(resource.cx);
}

int TermClientRows(const DLGRESOURCE& resource) {
    return Rows(resource.cy);
}

TERM_RECT TermControlRect(const DLGRESOURCE& resource, const DLGITEMRESOURCE& item) {
    TERM_RECT rect = TermCellsFromDialogUnits(item.x, item.y, item.cx, item.cy);
    if (IsOneRow(item, rect.rows))
        rect.rows = 1;
    const int cols = TermClientCols(resource), rows = TermClientRows(resource);
    rect.cols = std::max(0, std::min(rect.cols, cols - rect.col));
    rect.rows = std::max(0, std::min(rect.rows, rows - rect.row));
    return rect;
}

// "[OK][X]" at the right of the caption, one cell in from the corner.
TERM_RECT TermCaptionOkRect(const DLGRESOURCE& resource) {
    return {TermClientCols(resource) - 7, -1, 4, 1};
}

TERM_RECT TermCaptionCloseRect(const DLGRESOURCE& resource) {
    return {TermClientCols(resource) - 3, -1, 3, 1};
}

TERM_RECT TermFieldTextRect(const TERM_RECT& control, bool bCombo) {
    return {control.col + 1, control.row, std::max(0, control.cols - (bCombo ? 3 : 2)), 1};
}

bool TermPlaceDialog(const DLGRESOURCE& resource, bool bCentered, int screenCols, int screenRows,
                     TERM_RECT* frame) {
    const int cols = TermFrameCols(resource), rows = TermFrameRows(resource);
    if (cols > screenCols || rows > screenRows)
        return false;
    const TERM_RECT at = TermCellsFromDialogUnits(resource.x, resource.y, 0, 0);
    int col = bCentered ? (screenCols - cols) / 2 : at.col;
    int row = bCentered ? (screenRows - rows) / 2 : at.row;
    col = std::min(col, screenCols - cols);
    row = std::min(row, screenRows - rows);
    *frame = {col, row, cols, rows};
    return true;
}

int TermHitTest(const DLGRESOURCE& resource, int col, int row) {
    int background = -1;
    for (UINT i = 0; i < resource.itemCount; ++i) {
        const DLGITEMRESOURCE& item = resource.items[i];
        if (!TermControlRect(resource, item).Contains(col, row))
            continue;
        if (!IsBackground(item))
            return static_cast<int>(i);
        if (background < 0)
            background = static_cast<int>(i);
    }
    return background;
}
