// The MFC subset of this platform, in one include, as a Windows CE program includes afxwin.h.
#pragma once

#include "windows.h"
#include "winuser.h"

#include "afxstr.h"
#include "afxcoll.h"
#include "afxmsg.h"
#include "afxwnd.h"
#include "afxdlg.h"
#include "afxcombo.h"
#include "afxcmn.h"
#include "afxdlgs.h"
#include "afxapp.h"
#include "afxmsgbox.h"
