#include "afxdlgs.h"

#include "platform/ui/UiBackEnd.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName,
                         DWORD dwFlags, LPCTSTR lpszFilter, CWnd* pParentWnd)
    : CDialog(0, pParentWnd), m_bOpenFileDialog(bOpenFileDialog), m_strDefExt(lpszDefExt),
      m_dwFlags(dwFlags), m_strFilter(lpszFilter), m_strPathName(lpszFileName) {}

INT_PTR CFileDialog::DoModal() {
    CUiBackEnd* pBackEnd = UiGetBackEnd();
    if (!pBackEnd)
        return IDCANCEL;
    UI_FILE_REQUEST request{m_bOpenFileDialog, m_strDefExt.GetString(), m_strPathName.GetString(),
                            m_dwFlags, m_strFilter.GetString()};
    if (!pBackEnd->ChooseFile(request))
        return IDCANCEL;
    m_strPathName = request.fileName.c_str();
    return IDOK;
}
