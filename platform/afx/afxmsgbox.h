// AfxMessageBox: a modal message box with the application's name as its caption.
#pragma once

#include "winuser.h"

// Returns the button pressed, or 0 when no back end can show the box.
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
