// The window-manager types and constants of Win32 that the dialogs, their controls and the
// message boxes use.
#pragma once

#include "windows.h"

struct UI_WINDOW;                         // a dialog or one of its controls, kept by platform/ui
typedef UI_WINDOW* HWND;                  // a window is known by its state in the dialog layer
typedef const struct ICONRESOURCE* HICON; // an icon is known by its resource
typedef const struct RESOURCE_MODULE* HINSTANCE; // a module is known by its resources
typedef UINT_PTR DWORD_PTR;
typedef LONG LRESULT;
typedef const char* LPCSTR;

// Message boxes: the button set is the low nibble, the icon the next one.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONASTERISK 0x00000040u

// Dialog results and the ids of the dialog's own commands.
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Window styles.
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_VSCROLL 0x00200000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_EX_APPWINDOW 0x00040000u
#define WS_EX_CAPTIONOKBTN 0x80000000u
#define DS_SETFONT 0x00000040u
#define DS_MODALFRAME 0x00000080u

// Control styles.
#define BS_PUSHBUTTON 0x0000u
#define BS_AUTORADIOBUTTON 0x0009u
#define BS_TYPEMASK 0x000Fu
#define ES_AUTOHSCROLL 0x0080u
#define ES_READONLY 0x0800u
#define CBS_DROPDOWN 0x0002u
#define CBS_SORT 0x0100u

// Messages and notifications.
#define WM_COMMAND 0x0111u
#define BN_CLICKED 0u
#define CB_ADDSTRING 0x0143u
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define SW_SHOW 5
#define SW_SHOWNORMAL 1
