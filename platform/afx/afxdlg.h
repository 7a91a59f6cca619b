// CDialog: a modal dialog built from a template of the module's resources and shown by the
// dialog back end.
#pragma once

#include "afxwnd.h"

#include "platform/ui/UiDialog.h"

class CDialog : public CWnd, private IUiCommandSink {
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Shows the dialog until EndDialog; returns the result given to EndDialog, or -1 when the
    // template is not among the resources or no back end can show a dialog.
    virtual INT_PTR DoModal();
    // Fills the controls from the template's initialisation data, then writes the members
    // into the controls.
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);

protected:
    // OK reads the controls back into the members and closes; Cancel closes.
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDHelp = 0; // the template's id
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    void OnUiCommand(WORD nID, WORD nCode) override;
    void ExecuteDlgInit(CUiDialog& dialog);
};
