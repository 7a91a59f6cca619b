// The state of one control of a shown dialog: what it displays and holds. The program changes
// it through the MFC classes; the operator through the back end; every change the program
// makes is handed to the back end at once, to be drawn.
#pragma once

#include "platform/ui/DialogResource.h"

#include <string>
#include <vector>

// A dialog or one of its controls; HWND points at one.
struct UI_WINDOW {
    virtual ~UI_WINDOW() = default;
};

enum UI_CONTROL_KIND {
    UI_STATIC,
    UI_EDIT,
    UI_PUSHBUTTON,
    UI_RADIOBUTTON,
    UI_COMBOBOX,
    UI_PROGRESS,
    UI_UNKNOWN,
};

struct UI_COMBO_ITEM {
    std::wstring text;
    DWORD_PTR data;
};

class CUiDialog;

class CUiControl : public UI_WINDOW {
public:
    CUiControl(CUiDialog& owner, const DLGITEMRESOURCE& item);

    const DLGITEMRESOURCE& GetResource() const { return m_item; }
    WORD GetId() const { return m_item.id; }
    UI_CONTROL_KIND GetKind() const { return m_kind; }
    DWORD GetStyle() const { return m_item.style; }
    BOOL IsReadOnly() const;
    CUiDialog& GetOwner() const { return m_owner; }

    // Text of an edit, static, button or of a combo box's edit field.
    const std::wstring& GetText() const { return m_text; }
    void SetText(const std::wstring& text);

    // Radio buttons.
    BOOL GetCheck() const { return m_bChecked; }
    void SetCheck(BOOL bChecked);

    // Combo boxes. A sorted list inserts each string at its place, ignoring case; item data
    // starts at 0. A selection shows the item's text in the edit field.
    int AddString(const std::wstring& text);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    const UI_COMBO_ITEM* GetItem(int nIndex) const;
    BOOL SetItemData(int nIndex, DWORD_PTR data);
    int GetCurSel() const { return m_nCurSel; }
    // Selects the item, or none with -1; any other index selects none and fails (CB_ERR).
    int SetCurSel(int nIndex);

    // Progress bars: the position always lies within the range, as Windows keeps it.
    void SetRange(int nLower, int nUpper);
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }
    int GetPos() const { return m_nPos; }
    int SetPos(int nPos); // returns the previous position

private:
    void Changed();
    int Clamp(int nPos) const;

    CUiDialog& m_owner;
    const DLGITEMRESOURCE& m_item;
    UI_CONTROL_KIND m_kind;
    std::wstring m_text;
    BOOL m_bChecked = FALSE;
    std::vector<UI_COMBO_ITEM> m_items;
    int m_nCurSel = -1;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
};
