#include "afxmsgbox.h"
#include "afxapp.h"

#include "platform/ui/UiBackEnd.h"

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
    CUiBackEnd* pBackEnd = UiGetBackEnd();
    if (!pBackEnd)
        return 0;
    return pBackEnd->MessageBox(lpszText ? lpszText : L"", AfxGetAppName(), nType);
}
