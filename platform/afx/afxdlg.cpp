#include "afxdlg.h"
#include "afxapp.h"

#include "platform/ui/UiBackEnd.h"

#include <cstdio>

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    if (m_hWnd)  // already shown
        return -1;
    const DLGRESOURCE* resource = FindDialogResource(AfxGetResourceHandle(), m_nIDHelp);
    if (!resource)
        return -1;
    CUiBackEnd* pBackEnd = UiGetBackEnd();
    if (!pBackEnd) {
        std::fprintf(stderr, "No dialog back end is available to show dialog %u\n", m_nIDHelp);
        return -1;
    }
    CUiDialog dialog(*resource, *this, *pBackEnd);
    m_hWnd = &dialog;
    OnInitDialog();
    if (!dialog.IsEnded())
        pBackEnd->RunModal(dialog);
    DetachChildren(dialog);
    m_hWnd = nullptr;
    return dialog.GetResult();
}

BOOL CDialog::OnInitDialog() {
    if (CUiDialog* dialog = GetUiDialog())
        ExecuteDlgInit(*dialog);
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::ExecuteDlgInit(CUiDialog& dialog) {
    const DLGRESOURCE& resource = dialog.GetResource();
    for (UINT i = 0; resource.init && i < resource.initCount; ++i) {
        const DLGINITRESOURCE& entry = resource.init[i];
        CUiControl* control = dialog.FindControl(entry.controlId);
        if (control && entry.message == CB_ADDSTRING && control->GetKind() == UI_COMBOBOX)
            control->AddString(entry.text ? entry.text : L"");
    }
}

void CDialog::EndDialog(int nResult) {
    if (CUiDialog* dialog = GetUiDialog())
        dialog->End(nResult);
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnUiCommand(WORD nID, WORD nCode) {
    OnCmdMsg(nID, nCode);
}
