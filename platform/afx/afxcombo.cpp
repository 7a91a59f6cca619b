#include "afxcombo.h"

#include "platform/ui/UiControl.h"

int CComboBox::AddString(LPCTSTR lpszString) {
    CUiControl* control = GetUiControl();
    return control ? control->AddString(lpszString ? lpszString : L"") : CB_ERR;
}

int CComboBox::GetCount() const {
    const CUiControl* control = GetUiControl();
    return control ? control->GetCount() : CB_ERR;
}

int CComboBox::GetCurSel() const {
    const CUiControl* control = GetUiControl();
    return control ? control->GetCurSel() : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect) {
    CUiControl* control = GetUiControl();
    return control ? control->SetCurSel(nSelect) : CB_ERR;
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const {
    const CUiControl* control = GetUiControl();
    const UI_COMBO_ITEM* item = control ? control->GetItem(nIndex) : nullptr;
    return item ? item->data : static_cast<DWORD_PTR>(CB_ERR);
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR dwItemData) {
    CUiControl* control = GetUiControl();
    return control && control->SetItemData(nIndex, dwItemData) ? 0 : CB_ERR;
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    const CUiControl* control = GetUiControl();
    const UI_COMBO_ITEM* item = control ? control->GetItem(nIndex) : nullptr;
    rString = item ? item->text.c_str() : L"";
}
