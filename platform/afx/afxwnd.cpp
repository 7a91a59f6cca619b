#include "afxwnd.h"
#include "afxcoll.h"

#include "platform/ui/UiDialog.h"

#include <map>

namespace {

// Which object is bound to which window, as MFC's permanent handle map.
std::map<HWND, CWnd*>& HandleMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

} // namespace

CWnd::~CWnd() {
    if (m_hWnd)
        UnsubclassWindow();
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || m_hWnd || HandleMap().count(hWnd))
        return FALSE;
    HandleMap()[hWnd] = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    auto it = HandleMap().find(hWnd);
    if (it != HandleMap().end() && it->second == this)
        HandleMap().erase(it);
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) {
    auto it = HandleMap().find(hWnd);
    return it == HandleMap().end() ? nullptr : it->second;
}

void PASCAL CWnd::DetachChildren(CUiDialog& dialog) {
    for (const auto& control : dialog.GetControls()) {
        if (CWnd* pWnd = FromHandlePermanent(control.get()))
            pWnd->UnsubclassWindow();
    }
}

CUiDialog* CWnd::GetUiDialog() const {
    return dynamic_cast<CUiDialog*>(m_hWnd);
}
CUiControl* CWnd::GetUiControl() const {
    return dynamic_cast<CUiControl*>(m_hWnd);
}

void CWnd::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::SetWindowText(LPCTSTR lpszString) {
    if (CUiControl* control = GetUiControl())
        control->SetText(lpszString ? lpszString : L"");
}

void CWnd::GetWindowText(CString& rString) const {
    const CUiControl* control = GetUiControl();
    rString = control ? control->GetText().c_str() : L"";
}

void CWnd::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    CUiDialog* dialog = GetUiDialog();
    if (!dialog)
        return;
    for (const auto& control : dialog->GetControls()) {
        const int nID = control->GetId();
        if (nID >= nIDFirstButton && nID <= nIDLastButton && control->GetKind() == UI_RADIOBUTTON)
            control->SetCheck(nID == nIDCheckButton);
    }
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    const CUiDialog* dialog = GetUiDialog();
    const CUiControl* control =
        dialog ? dialog->FindControl(static_cast<WORD>(nIDButton)) : nullptr;
    return control && control->GetCheck() ? 1 : 0;
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    CUiDialog* dialog = GetUiDialog();
    if (!dialog)
        return nullptr;
    HICON hOld = dialog->GetIcon(bBigIcon);
    dialog->SetIcon(hIcon, bBigIcon);
    return hOld;
}

// The back end places a dialog in the middle of its screen; the desktop is that screen.
void CWnd::CenterWindow(CWnd* /*pAlternateOwner*/) {
    if (CUiDialog* dialog = GetUiDialog())
        dialog->Center();
}

CWnd* PASCAL CWnd::GetDesktopWindow() {
    static CWnd desktop;
    return &desktop;
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    CUiDialog* dialog = dynamic_cast<CUiDialog*>(m_pDlgWnd->m_hWnd);
    AFX_CHECK(dialog != nullptr);
    CUiControl* control = dialog->FindControl(static_cast<WORD>(nIDC));
    AFX_CHECK(control != nullptr);
    return control;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (!rControl.m_hWnd)
        rControl.SubclassWindow(pDX->PrepareCtrl(nIDC));
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    CUiControl* control = static_cast<CUiControl*>(pDX->PrepareCtrl(nIDC));
    if (pDX->m_bSaveAndValidate)
        value = control->GetText().c_str();
    else
        control->SetText(value.GetString());
}
