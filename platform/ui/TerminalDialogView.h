// What the terminal adds to a shown dialog's state: the caret and scroll position of each text
// field, and whether the combo box's list is open. Turns the operator's keys and clicks into the
// dialog's input calls: the keys all back ends share (Tab, Shift+Tab, Space, Enter, Up, Down,
// Esc) through CUiDialog::Key, which also keeps the focus; editing, the open list and clicks
// here. The program's handlers may run before a call returns. Knows nothing of the screen.
#pragma once

#include "platform/ui/TerminalKeys.h"
#include "platform/ui/TerminalLayout.h"
#include "platform/ui/UiDialog.h"

#include <map>

struct TERM_FIELD_STATE {
    size_t caret = 0;  // position in the text, 0 to its length
    size_t first = 0;  // first character shown
    std::wstring seen; // the text when the caret was last placed
};

class CTerminalDialogView {
public:
    explicit CTerminalDialogView(CUiDialog& dialog);

    CUiDialog& GetDialog() const { return m_dialog; }

    // The control with the focus (the dialog keeps it); null for none.
    CUiControl* GetFocus() const { return m_dialog.GetFocus(); }

    // The combo box whose list is open, and its highlighted entry.
    bool IsListOpen() const { return m_pList != nullptr; }
    CUiControl* GetListControl() const { return m_pList; }
    int GetListHighlight() const { return m_nListHighlight; }
    // The open list's cells, relative to the client area: below the combo box's field, as many
    // rows as entries (and a frame row below), at most to the template's drop-down height.
    TERM_RECT GetListRect() const;
    int GetListTop() const;

    // A text field's caret and scroll, brought up to date with the control's text: a text the
    // program set puts the caret at its end (at its start when read-only).
    const TERM_FIELD_STATE& GetField(const CUiControl& control);

    // One key or click; clicks in client-area cells (the caption's buttons are at row -1).
    void HandleKey(const TERM_KEY& key);
    void HandleClick(int col, int row);

private:
    TERM_FIELD_STATE& Field(const CUiControl& control);
    int TextWidth(const CUiControl& control) const;
    bool TakesFocus(const CUiControl& control) const;
    void EditKey(CUiControl& control, const TERM_KEY& key);
    void ComboKey(CUiControl& control, const TERM_KEY& key);
    void ListKey(const TERM_KEY& key);
    void OpenList(CUiControl& combo);
    void CloseList(bool bTakeHighlight);
    void Scroll(const CUiControl& control, TERM_FIELD_STATE& field);

    CUiDialog& m_dialog;
    CUiControl* m_pList = nullptr;
    int m_nListHighlight = -1;
    std::map<const CUiControl*, TERM_FIELD_STATE> m_fields;
};
