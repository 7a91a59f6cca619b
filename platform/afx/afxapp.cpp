#include "afxapp.h"

#include "platform/ui/BackEndChoice.h"
#include "platform/ui/DialogResource.h"

#include <cerrno>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;

// The program's file name, as a module's name is taken from its file.
CString ProgramName() {
#ifdef __GLIBC__
    return CString(program_invocation_short_name);
#else
    return CString();
#endif
}

} // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_strAppName(lpszAppName ? CString(lpszAppName) : ProgramName()) {
    m_pszAppName = m_strAppName.GetString();
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

// No window messages exist apart from the dialogs' own: there is no loop to run.
int CWinApp::Run() {
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return FindIconResource(AfxGetResourceHandle(), nIDResource);
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

LPCTSTR AfxGetAppName() {
    return g_pApp ? g_pApp->m_pszAppName : L"";
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResource;
}

void AfxSetResourceHandle(HINSTANCE hInstResource) {
    g_hResource = hInstResource;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPTSTR /*lpCmdLine*/,
               int /*nCmdShow*/) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    // A program that set no dialog back end shows its dialogs with the host's default one.
    if (!UiGetBackEnd())
        UiSetBackEnd(UiDefaultBackEnd());
    pApp->m_hInstance = hInstance;
    AfxSetResourceHandle(hInstance);
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
