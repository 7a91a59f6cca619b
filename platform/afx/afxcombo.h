// CComboBox: a combo box control of a shown dialog.
#pragma once

#include "afxwnd.h"

class CComboBox : public CWnd {
public:
    // Index of the new entry (its sorted place in a sorted list), or CB_ERR.
    int AddString(LPCTSTR lpszString);
    int GetCount() const;
    // Index of the selected entry, or CB_ERR when none is selected.
    int GetCurSel() const;
    // Selects the entry, or none with -1; CB_ERR for an index outside the list.
    int SetCurSel(int nSelect);
    // The entry's item data; CB_ERR (all bits set) for an index outside the list.
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
    void GetLBText(int nIndex, CString& rString) const;
};
