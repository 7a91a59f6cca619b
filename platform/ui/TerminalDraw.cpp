#include "platform/ui/TerminalDraw.h"
#include "platform/ui/TerminalCurses.h"
#include "platform/ui/TerminalScreen.h"
#include "platform/ui/UiProgress.h"

#include <algorithm>

namespace {

attr_t Curses(int attr) {
    attr_t out = A_NORMAL;
    if (attr & TA_REVERSE)
        out |= A_REVERSE;
    if (attr & TA_BOLD)
        out |= A_BOLD;
    if ((attr & TA_ALARM) && has_colors())
        out |= COLOR_PAIR(1) | A_BOLD;
    else if (attr & TA_ALARM)
        out |= A_REVERSE;
    return out;
}

void Fill(int col, int row, int cols, wchar_t ch, int attr = TA_NORMAL) {
    TermDrawText(col, row, std::wstring(static_cast<size_t>(std::max(0, cols)), ch), cols, attr);
}

// The first row of a field: "[text]", with '<' or '>' for a bracket where the text goes on
// beyond what the field shows.
void DrawField(const TERM_RECT& at, const TERM_FIELD_STATE& field, bool bCombo, int attr) {
    const TERM_RECT text = TermFieldTextRect(at, bCombo);
    const std::wstring& all = field.seen;
    const size_t width = static_cast<size_t>(text.cols);
    const std::wstring shown = all.substr(std::min(field.first, all.size()), width);
    TermDrawText(at.col, at.row, field.first > 0 ? L"<" : L"[", 1, attr);
    TermDrawText(text.col, text.row, shown + std::wstring(width - shown.size(), L' '), text.cols);
    const bool bMore = field.first + width < all.size();
    if (bCombo) {
        TermDrawText(text.col + text.cols, at.row, CTerminalScreen::IsUnicode() ? L"\x25BC" : L"v",
                     1, attr);
        TermDrawText(at.col + at.cols - 1, at.row, L"]", 1, attr);
    } else {
        TermDrawText(at.col + at.cols - 1, at.row, bMore ? L">" : L"]", 1, attr);
    }
}

void DrawButton(const TERM_RECT& at, const std::wstring& label, bool bFocus) {
    const int attr = bFocus ? TA_REVERSE : TA_NORMAL;
    if (at.rows >= 3) {
        TermDrawFrame(at, L"");
        const int inner = at.cols - 2;
        const std::wstring shown = label.substr(0, static_cast<size_t>(std::max(0, inner)));
        const int col = at.col + 1 + (inner - static_cast<int>(shown.size())) / 2;
        TermDrawText(col, at.row + at.rows / 2, shown, inner, attr);
        return;
    }
    // "[label]", padded evenly inside; an odd cell left over stays outside, after it.
    std::wstring shown = label.substr(0, static_cast<size_t>(std::max(0, at.cols - 2)));
    const int pad = (at.cols - 2 - static_cast<int>(shown.size())) / 2;
    shown = std::wstring(static_cast<size_t>(pad), L' ') + shown +
            std::wstring(static_cast<size_t>(pad), L' ');
    const int inner = static_cast<int>(shown.size());
    TermDrawText(at.col, at.row, L"[", 1);
    TermDrawText(at.col + 1, at.row, shown, inner, attr);
    TermDrawText(at.col + 1 + inner, at.row, L"]", 1);
}

void DrawProgress(const TERM_RECT& at, const CUiControl& bar) {
    const int filled = UiProgressFill(bar, at.cols);
    const bool bUnicode = CTerminalScreen::IsUnicode();
    for (int r = 0; r < at.rows; ++r) {
        Fill(at.col, at.row + r, filled, bUnicode ? L'\x2588' : L'#');
        Fill(at.col + filled, at.row + r, at.cols - filled, bUnicode ? L'\x2591' : L'.');
    }
}

void DrawList(CTerminalDialogView& view, const TERM_RECT& client) {
    const CUiControl& combo = *view.GetListControl();
    TERM_RECT list = view.GetListRect();
    list.col += client.col;
    list.row += client.row;
    const int top = view.GetListTop();
    for (int r = 0; r < list.rows - 1; ++r) {
        const UI_COMBO_ITEM* item = combo.GetItem(top + r);
        std::wstring text = item ? item->text : L"";
        text.resize(static_cast<size_t>(std::max(0, list.cols - 2)), L' ');
        mvaddch(list.row + r, list.col, ACS_VLINE);
        TermDrawText(list.col + 1, list.row + r, text, list.cols - 2,
                     top + r == view.GetListHighlight() ? TA_REVERSE : TA_NORMAL);
        mvaddch(list.row + r, list.col + list.cols - 1, ACS_VLINE);
    }
    const int bottom = list.row + list.rows - 1;
    mvaddch(bottom, list.col, ACS_LLCORNER);
    mvhline(bottom, list.col + 1, ACS_HLINE, list.cols - 2);
    mvaddch(bottom, list.col + list.cols - 1, ACS_LRCORNER);
}

} // namespace

void TermDrawText(int col, int row, const std::wstring& text, int cols, int attr) {
    if (row < 0 || row >= LINES || col >= COLS || cols <= 0)
        return;
    const int fits = std::min(cols, COLS - col);
    std::wstring shown = text.substr(0, static_cast<size_t>(std::max(0, fits)));
    attr_t saved = 0;
    short pair = 0;
    attr_get(&saved, &pair, nullptr);
    attrset(Curses(attr));
    mvaddnwstr(row, col, shown.c_str(), static_cast<int>(shown.size()));
    attrset(saved);
}

void TermDrawFrame(const TERM_RECT& rect, const std::wstring& title) {
    for (int r = 1; r < rect.rows - 1; ++r)
        Fill(rect.col + 1, rect.row + r, rect.cols - 2, L' ');
    mvaddch(rect.row, rect.col, ACS_ULCORNER);
    mvhline(rect.row, rect.col + 1, ACS_HLINE, rect.cols - 2);
    mvaddch(rect.row, rect.col + rect.cols - 1, ACS_URCORNER);
    mvvline(rect.row + 1, rect.col, ACS_VLINE, rect.rows - 2);
    mvvline(rect.row + 1, rect.col + rect.cols - 1, ACS_VLINE, rect.rows - 2);
    mvaddch(rect.row + rect.rows - 1, rect.col, ACS_LLCORNER);
    mvhline(rect.row + rect.rows - 1, rect.col + 1, ACS_HLINE, rect.cols - 2);
    mvaddch(rect.row + rect.rows - 1, rect.col + rect.cols - 1, ACS_LRCORNER);
    if (!title.empty())
        TermDrawText(rect.col + 2, rect.row, L" " + title + L" ", rect.cols - 4, TA_BOLD);
}

void TermPlaceCursor(int col, int row, bool bVisible) {
    curs_set(bVisible ? 1 : 0);
    if (row >= 0 && row < LINES && col >= 0 && col < COLS)
        move(row, col);
}

void TermDrawDialog(CTerminalDialogView& view, const TERM_RECT& frame) {
    CUiDialog& dialog = view.GetDialog();
    const DLGRESOURCE& resource = dialog.GetResource();
    erase();
    TermDrawFrame(frame, dialog.GetCaption());
    const TERM_RECT client = {frame.col + 1, frame.row + 1, frame.cols - 2, frame.rows - 2};
    // The caption's OK button (the device's caption OK) and close button.
    const TERM_RECT ok = TermCaptionOkRect(resource);
    const TERM_RECT close = TermCaptionCloseRect(resource);
    TermDrawText(client.col + ok.col, frame.row, L"[OK]", ok.cols);
    TermDrawText(client.col + close.col, frame.row, L"[X]", close.cols);

    const auto& controls = dialog.GetControls();
    // Labels first, in full up to the dialog's edge, so that a label a little longer than its
    // box still reads; the other controls are drawn over them.
    for (const auto& control : controls) {
        if (control->GetKind() != UI_STATIC)
            continue;
        const TERM_RECT at = TermControlRect(resource, control->GetResource());
        TermDrawText(client.col + at.col, client.row + at.row, control->GetText(),
                     client.cols - at.col);
    }
    int cursorCol = -1, cursorRow = -1;
    bool bCursor = false;
    for (size_t i = 0; i < controls.size(); ++i) {
        CUiControl& control = *controls[i];
        TERM_RECT at = TermControlRect(resource, control.GetResource());
        if (at.cols <= 0 || at.rows <= 0)
            continue;
        at.col += client.col;
        at.row += client.row;
        const bool bFocus = view.GetFocus() == &control;
        switch (control.GetKind()) {
        case UI_EDIT:
        case UI_COMBOBOX: {
            const bool bCombo = control.GetKind() == UI_COMBOBOX;
            const TERM_FIELD_STATE& field = view.GetField(control);
            DrawField(at, field, bCombo, bFocus ? TA_BOLD : TA_NORMAL);
            if (bFocus) {
                cursorCol =
                    TermFieldTextRect(at, bCombo).col + static_cast<int>(field.caret - field.first);
                cursorRow = at.row;
                bCursor = true;
            }
            break;
        }
        case UI_PUSHBUTTON:
            DrawButton(at, control.GetText(), bFocus);
            if (bFocus) {
                cursorCol = at.col;
                cursorRow = at.row;
            }
            break;
        case UI_RADIOBUTTON:
            TermDrawText(at.col, at.row, control.GetCheck() ? L"(*) " : L"( ) ", 4);
            TermDrawText(at.col + 4, at.row, control.GetText(), at.cols - 4,
                         bFocus ? TA_REVERSE : TA_NORMAL);
            if (bFocus) {
                cursorCol = at.col + 1;
                cursorRow = at.row;
            }
            break;
        case UI_PROGRESS:
            DrawProgress(at, control);
            break;
        default:
            break;
        }
    }
    if (view.IsListOpen()) {
        DrawList(view, client);
        bCursor = false;
    }
    TermPlaceCursor(cursorCol, cursorRow, bCursor);
}

int TermProgressCells(const DLGRESOURCE& resource, const CUiControl& bar) {
    return UiProgressFill(bar, TermControlRect(resource, bar.GetResource()).cols);
}

void TermDrawTooSmall(const DLGRESOURCE& resource) {
    erase();
    const std::wstring caption = resource.caption ? resource.caption : L"";
    const std::wstring lines[] = {
        L"The terminal is too small for the " + caption + L" dialog.",
        L"It needs " + std::to_wstring(TermFrameCols(resource)) + L" columns and " +
            std::to_wstring(TermFrameRows(resource)) + L" rows; it has " + std::to_wstring(COLS) +
            L" x " + std::to_wstring(LINES) + L".",
        L"Make it larger, or press Esc to close the dialog.",
    };
    // Each sentence wraps at the screen's width.
    int row = 0;
    for (const std::wstring& line : lines) {
        for (size_t at = 0; at < line.size() && row < LINES; at += static_cast<size_t>(COLS))
            TermDrawText(0, row++, line.substr(at, static_cast<size_t>(COLS)), COLS);
    }
    TermPlaceCursor(0, 0, false);
}
