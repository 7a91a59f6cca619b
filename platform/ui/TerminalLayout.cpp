#include "platform/ui/TerminalLayout.h"

#include "winuser.h"

#include <algorithm>
#include <cwchar>

namespace {

// To the nearest cell, halves up; dialog units are never negative in a template.
int Cols(int du) {
    return (du + 2) / 4;
}
int Rows(int du) {
    return (du + 4) / 8;
}

bool IsBackground(const DLGITEMRESOURCE& item) {
    const wchar_t* name = item.className ? item.className : L"";
    return wcscasecmp(name, L"STATIC") == 0 || wcscasecmp(name, L"msctls_progress32") == 0;
}

} // namespace

TERM_RECT TermCellsFromDialogUnits(int x, int y, int cx, int cy) {
    const int col = Cols(x), row = Rows(y);
    return {col, row, std::max(1, Cols(x + cx) - col), std::max(1, Rows(y + cy) - row)};
}

int TermClientCols(const DLGRESOURCE& resource) {
    return Cols(resource.cx);
}

int TermClientRows(const DLGRESOURCE& resource) {
    return Rows(resource.cy);
}

TERM_RECT TermControlRect(const DLGRESOURCE& resource, const DLGITEMRESOURCE& item) {
    TERM_RECT rect = TermCellsFromDialogUnits(item.x, item.y, item.cx, item.cy);
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
    int col = bCentered ? (screenCols - cols) / 2 : Cols(resource.x);
    int row = bCentered ? (screenRows - rows) / 2 : Rows(resource.y);
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
