#include "app/KorvaneRes.h"
#include "app/resource.h"

namespace {

// Controls in template order, which is also the order of the keyboard's tab stops.
const DLGITEMRESOURCE s_korvaneItems[] = {
    {IDC_FILENAME_LABEL, L"STATIC", L"Filename", 12, 35, 113, 11, 0x50020000},
    {IDC_FILENAME, L"EDIT", L"", 12, 46, 110, 15, 0x50810080},
    {IDC_FLASH, L"BUTTON", L"Flash!", 159, 13, 69, 48, 0x50010000},
    {IDC_PROGRESS, L"msctls_progress32", L"Progress1", 21, 75, 200, 16, 0x50800000},
    {IDC_BROWSE, L"BUTTON", L"...", 124, 46, 21, 15, 0x50010000},
    {IDC_SLAVE_ADDRESS, L"COMBOBOX", L"", 113, 13, 33, 57, 0x50210102},
    {IDC_SLAVE_ADDRESS_LABEL, L"STATIC", L"Slave Address", 60, 13, 48, 12, 0x50020000},
    {IDC_STATUS, L"EDIT", L"", 7, 104, 230, 12, 0x50810880},
    {IDC_OD, L"BUTTON", L"OD", 12, 13, 42, 9, 0x50000009},
    {IDC_STEPPER, L"BUTTON", L"Stepper", 12, 22, 42, 9, 0x50000009},
};

// The Stepper slaves' addresses as the combo box lists them, sorted. OnInitDialog gives entry i
// the address STEPPER_SLAVE_ADDRESSES[i] (protocol/Slaves.h), so the two lists pair by index.
const DLGINITRESOURCE s_korvaneInit[] = {
    {IDC_SLAVE_ADDRESS, CB_ADDSTRING, L"0x14"}, {IDC_SLAVE_ADDRESS, CB_ADDSTRING, L"0x15"},
    {IDC_SLAVE_ADDRESS, CB_ADDSTRING, L"0x18"}, {IDC_SLAVE_ADDRESS, CB_ADDSTRING, L"0x1C"},
    {IDC_SLAVE_ADDRESS, CB_ADDSTRING, L"0x1D"},
};

const DLGRESOURCE* const s_korvaneDialogs[] = {&g_dlgKorvane};

const ICONRESOURCE s_korvaneIcons[] = {
    {IDR_MAINFRAME, g_korvaneIconPng, g_korvaneIconPngSize},
};

} // namespace

const DLGRESOURCE g_dlgKorvane = {
    IDD_KORVANE_DIALOG,
    L"Korvane",
    0,
    0,
    244,
    115,
    L"System",
    8,
    0x90C800C0, // WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME, DS_SETFONT
    0x80040000, // WS_EX_APPWINDOW, WS_EX_CAPTIONOKBTN
    s_korvaneItems,
    sizeof(s_korvaneItems) / sizeof(s_korvaneItems[0]),
    s_korvaneInit,
    sizeof(s_korvaneInit) / sizeof(s_korvaneInit[0]),
};

const RESOURCE_MODULE g_korvaneModule = {
    s_korvaneDialogs,
    sizeof(s_korvaneDialogs) / sizeof(s_korvaneDialogs[0]),
    s_korvaneIcons,
    sizeof(s_korvaneIcons) / sizeof(s_korvaneIcons[0]),
};
