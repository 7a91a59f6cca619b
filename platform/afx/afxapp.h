// CWinApp, the application object, and AfxWinMain, which runs it: the program's one CWinApp
// is constructed before AfxWinMain runs, which calls its InitInstance.
#pragma once

#include "afxwnd.h"

class CWinApp : public CCmdTarget {
public:
    // A null name means the program's own name.
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // Returns FALSE to end the application without entering a message loop.
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();

    // The icon from the resource module (AfxGetResourceHandle); a missing icon loads as null.
    HICON LoadIcon(UINT nIDResource) const;

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCTSTR m_pszAppName = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
};

CWinApp* AfxGetApp();
LPCTSTR AfxGetAppName();
// The module whose resources dialogs are built from; AfxWinMain sets it to the program's.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
