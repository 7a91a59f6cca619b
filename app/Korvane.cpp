#include "app/Korvane.h"
#include "app/KorvaneDlg.h"

BEGIN_MESSAGE_MAP(CKorvaneApp, CWinApp)
END_MESSAGE_MAP()

CKorvaneApp theApp;

CKorvaneApp::CKorvaneApp() : CWinApp(NULL) {}

CKorvaneApp::~CKorvaneApp() {}

// Runs the dialog and returns FALSE, so that the application ends without a message loop.
BOOL CKorvaneApp::InitInstance() {
    CKorvaneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
