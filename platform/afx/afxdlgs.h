// CFileDialog: the common dialog that lets the operator choose a file.
#pragma once

#include "afxdlg.h"

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u

class CFileDialog : public CDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                LPCTSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);

    // IDOK when the operator chose a file, IDCANCEL when the dialog was cancelled (or no back
    // end can show it).
    INT_PTR DoModal() override;
    // The full path chosen; after Cancel, the initial file name the dialog was given.
    CString GetPathName() const { return m_strPathName; }

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    DWORD m_dwFlags;
    CString m_strFilter;
    CString m_strPathName;
};
