// CWnd, the program's view of a window (a dialog or one of its controls), and dialog data
// exchange between a dialog's members and its controls.
#pragma once

#include "afxmsg.h"
#include "afxstr.h"

class CDataExchange;
class CUiControl;
class CUiDialog;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Binds this object to a control of a shown dialog, as DDX_Control does; the binding ends
    // when the dialog closes.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();
    // The object bound to a window, or null.
    static CWnd* PASCAL FromHandlePermanent(HWND hWnd);
    // Unbinds every object bound to a control of the dialog, which is about to close.
    static void PASCAL DetachChildren(CUiDialog& dialog);

    // Data exchange: FALSE writes the members into the controls, TRUE reads them back. FALSE
    // when the window is not shown.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    void SetWindowText(LPCTSTR lpszString);
    void GetWindowText(CString& rString) const;

    // Checks the one radio button and unchecks the others with ids from first to last.
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    UINT IsDlgButtonChecked(int nIDButton) const;

    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    static CWnd* PASCAL GetDesktopWindow();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    CUiDialog* GetUiDialog() const;
    CUiControl* GetUiControl() const;
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;

    // The control with this id in the dialog; a template without it is a program error.
    HWND PrepareCtrl(int nIDC);
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
