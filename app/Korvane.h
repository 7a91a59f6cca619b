// The application object: it shows the main dialog and ends when the dialog is closed.
#pragma once

#include "afxwin.h"

class CKorvaneApp : public CWinApp {
public:
    CKorvaneApp();
    ~CKorvaneApp() override;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CKorvaneApp theApp;
