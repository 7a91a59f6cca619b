#include "platform/ui/TerminalDialogView.h"

#include "winuser.h"

#include <algorithm>

CTerminalDialogView::CTerminalDialogView(CUiDialog& dialog) : m_dialog(dialog) {}

bool CTerminalDialogView::TakesFocus(const CUiControl& control) const {
    for (const CUiControl* stop : m_dialog.GetTabOrder()) {
        if (stop == &control)
            return true;
    }
    return false;
}

int CTerminalDialogView::TextWidth(const CUiControl& control) const {
    const TERM_RECT rect = TermControlRect(m_dialog.GetResource(), control.GetResource());
    return TermFieldTextRect(rect, control.GetKind() == UI_COMBOBOX).cols;
}

TERM_FIELD_STATE& CTerminalDialogView::Field(const CUiControl& control) {
    TERM_FIELD_STATE& field = m_fields[&control];
    const std::wstring& text = control.GetText();
    if (text != field.seen) {
        field.seen = text;
        field.caret = control.IsReadOnly() ? 0 : text.size();
        field.first = 0;
    }
    Scroll(control, field);
    return field;
}

const TERM_FIELD_STATE& CTerminalDialogView::GetField(const CUiControl& control) {
    return Field(control);
}

// Keeps the caret inside the shown part of the field (auto horizontal scroll).
void CTerminalDialogView::Scroll(const CUiControl& control, TERM_FIELD_STATE& field) {
    const size_t width = static_cast<size_t>(std::max(1, TextWidth(control)));
    field.caret = std::min(field.caret, field.seen.size());
    if (field.caret < field.first)
        field.first = field.caret;
    if (field.caret >= field.first + width)
        field.first = field.caret - width + 1;
}

TERM_RECT CTerminalDialogView::GetListRect() const {
    if (!m_pList)
        return {0, 0, 0, 0};
    const CUiControl& combo = *m_pList;
    const DLGITEMRESOURCE& item = combo.GetResource();
    const TERM_RECT field = TermControlRect(m_dialog.GetResource(), item);
    // The template's height is the field and the open list together.
    const TERM_RECT whole = TermCellsFromDialogUnits(item.x, item.y, item.cx, item.cy);
    const int shown = std::max(1, std::min(combo.GetCount(), whole.rows - 2));
    return {field.col, field.row + 1, field.cols, shown + 1};
}

// The first entry shown: the list scrolls to keep the highlight in sight.
int CTerminalDialogView::GetListTop() const {
    const int shown = GetListRect().rows - 1;
    return std::max(0, m_nListHighlight - shown + 1);
}

void CTerminalDialogView::HandleKey(const TERM_KEY& key) {
    if (IsListOpen()) {
        ListKey(key);
        return;
    }
    switch (key.kind) {
    case TK_TAB:
        m_dialog.Key(UI_KEY_TAB);
        return;
    case TK_BACKTAB:
        m_dialog.Key(UI_KEY_BACKTAB);
        return;
    case TK_ESC:
        m_dialog.Key(UI_KEY_ESCAPE);
        return;
    default:
        break;
    }
    CUiControl* pFocus = GetFocus();
    if (!pFocus)
        return;
    CUiControl& control = *pFocus;
    switch (control.GetKind()) {
    case UI_PUSHBUTTON:
    case UI_RADIOBUTTON:
        if (key.kind == TK_ENTER || (key.kind == TK_CHAR && key.ch == L' '))
            m_dialog.Key(UI_KEY_ACTIVATE);
        break;
    case UI_EDIT:
        EditKey(control, key);
        break;
    case UI_COMBOBOX:
        ComboKey(control, key);
        break;
    default:
        break;
    }
}

// Typing and the usual editing keys; a read-only field only scrolls. Enter does nothing here:
// the dialog has no default button, and a slip of the finger must not close it.
void CTerminalDialogView::EditKey(CUiControl& control, const TERM_KEY& key) {
    TERM_FIELD_STATE& field = Field(control);
    std::wstring text = field.seen;
    size_t caret = field.caret;
    const bool bReadOnly = control.IsReadOnly();
    switch (key.kind) {
    case TK_LEFT:
        caret = caret > 0 ? caret - 1 : 0;
        break;
    case TK_RIGHT:
        caret = std::min(text.size(), caret + 1);
        break;
    case TK_HOME:
        caret = 0;
        break;
    case TK_END:
        caret = text.size();
        break;
    case TK_CHAR:
        if (bReadOnly || key.ch < L' ' || key.ch == 0x7F)
            return;
        text.insert(caret++, 1, key.ch);
        break;
    case TK_BACKSPACE:
        if (bReadOnly || caret == 0)
            return;
        text.erase(--caret, 1);
        break;
    case TK_DELETE:
        if (bReadOnly || caret >= text.size())
            return;
        text.erase(caret, 1);
        break;
    case TK_KILL_START:
        if (bReadOnly)
            return;
        text.erase(0, caret);
        caret = 0;
        break;
    case TK_KILL_END:
        if (bReadOnly)
            return;
        text.erase(caret);
        break;
    default:
        return;
    }
    // The field learns the new text before the dialog does, so that drawing it (which the
    // change sets off) keeps the caret where the operator put it.
    field.caret = caret;
    if (text != field.seen) {
        field.seen = text;
        m_dialog.Type(control.GetId(), text);
    }
    Scroll(control, Field(control));
}

void CTerminalDialogView::ComboKey(CUiControl& control, const TERM_KEY& key) {
    switch (key.kind) {
    case TK_UP:
        m_dialog.Key(UI_KEY_UP);
        return;
    case TK_DOWN:
        m_dialog.Key(UI_KEY_DOWN);
        return;
    case TK_ENTER:
    case TK_DROPDOWN:
        OpenList(control);
        return;
    default:
        EditKey(control, key);
    }
}

void CTerminalDialogView::OpenList(CUiControl& combo) {
    if (combo.GetCount() == 0)
        return;
    m_pList = &combo;
    m_nListHighlight = std::max(0, combo.GetCurSel());
}

// The list closes before the pick reaches the dialog, so that what the pick draws has no list.
void CTerminalDialogView::CloseList(bool bTakeHighlight) {
    CUiControl* const pCombo = m_pList;
    const int nPick = m_nListHighlight;
    m_pList = nullptr;
    m_nListHighlight = -1;
    if (bTakeHighlight && pCombo && nPick >= 0)
        m_dialog.Select(pCombo->GetId(), nPick);
}

void CTerminalDialogView::ListKey(const TERM_KEY& key) {
    const int last = m_pList->GetCount() - 1;
    switch (key.kind) {
    case TK_UP:
        m_nListHighlight = std::max(0, m_nListHighlight - 1);
        break;
    case TK_DOWN:
        m_nListHighlight = std::min(last, m_nListHighlight + 1);
        break;
    case TK_HOME:
    case TK_PAGEUP:
        m_nListHighlight = 0;
        break;
    case TK_END:
    case TK_PAGEDOWN:
        m_nListHighlight = last;
        break;
    case TK_ENTER:
    case TK_DROPDOWN:
    case TK_CHAR:
        if (key.kind != TK_CHAR || key.ch == L' ')
            CloseList(true);
        break;
    case TK_ESC:
        CloseList(false);
        break;
    case TK_TAB:
    case TK_BACKTAB:
        CloseList(false);
        m_dialog.Key(key.kind == TK_TAB ? UI_KEY_TAB : UI_KEY_BACKTAB);
        break;
    default:
        break;
    }
}

void CTerminalDialogView::HandleClick(int col, int row) {
    const DLGRESOURCE& resource = m_dialog.GetResource();
    if (IsListOpen()) {
        const TERM_RECT list = GetListRect();
        const int entry = GetListTop() + row - list.row;
        const bool bOnEntry = list.Contains(col, row) && row < list.row + list.rows - 1;
        if (bOnEntry)
            m_nListHighlight = std::min(entry, m_pList->GetCount() - 1);
        CloseList(bOnEntry);
        if (bOnEntry || list.Contains(col, row))
            return;
    }
    if (TermCaptionOkRect(resource).Contains(col, row)) {
        m_dialog.Command(IDOK);
        return;
    }
    if (TermCaptionCloseRect(resource).Contains(col, row)) {
        m_dialog.Command(IDCANCEL);
        return;
    }
    const int nIndex = TermHitTest(resource, col, row);
    if (nIndex < 0)
        return;
    CUiControl& control = *m_dialog.GetControls()[nIndex];
    if (!TakesFocus(control))
        return;
    m_dialog.SetFocus(control.GetId());
    switch (control.GetKind()) {
    case UI_PUSHBUTTON:
    case UI_RADIOBUTTON:
        m_dialog.Click(control.GetId());
        break;
    case UI_EDIT:
    case UI_COMBOBOX: {
        const TERM_RECT rect = TermControlRect(resource, control.GetResource());
        const bool bCombo = control.GetKind() == UI_COMBOBOX;
        const TERM_RECT text = TermFieldTextRect(rect, bCombo);
        if (bCombo && col >= text.col + text.cols) {
            OpenList(control);
            break;
        }
        TERM_FIELD_STATE& field = Field(control);
        const int offset = std::max(0, col - text.col);
        field.caret = std::min(field.seen.size(), field.first + static_cast<size_t>(offset));
        Scroll(control, field);
        break;
    }
    default:
        break;
    }
}
