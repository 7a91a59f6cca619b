// Dialog templates as data, the way a module's resources hold them: the dialog with its
// caption, size and font, its controls in template order, and its initialisation data.
#pragma once

#include "winuser.h"

// One control of a template. Positions and sizes are in dialog units.
struct DLGITEMRESOURCE {
    WORD id;
    LPCWSTR className; // "BUTTON", "EDIT", "STATIC", "COMBOBOX", "msctls_progress32"
    LPCWSTR text;
    short x, y, cx, cy;
    DWORD style;
};

// One entry of a template's initialisation data: a message with a string for a control,
// sent when the dialog initialises (CB_ADDSTRING fills a combo box's list).
struct DLGINITRESOURCE {
    WORD controlId;
    UINT message;
    LPCWSTR text;
};

struct DLGRESOURCE {
    WORD id;
    LPCWSTR caption;
    short x, y, cx, cy;
    LPCWSTR fontName;
    WORD pointSize;
    DWORD style;
    DWORD exStyle;
    const DLGITEMRESOURCE* items;
    UINT itemCount;
    const DLGINITRESOURCE* init; // may be null
    UINT initCount;
};

// An icon, as a PNG file holds it (one size: a window manager scales it for its uses).
struct ICONRESOURCE {
    WORD id;
    const unsigned char* png;
    UINT pngSize;
};

// The resources of one module; a module handle (HINSTANCE) points at them.
struct RESOURCE_MODULE {
    const DLGRESOURCE* const* dialogs;
    UINT dialogCount;
    const ICONRESOURCE* icons; // may be null
    UINT iconCount;
};

// The template with the given id in the module, or null.
const DLGRESOURCE* FindDialogResource(HINSTANCE hModule, UINT nIDTemplate);
// The icon with the given id in the module, or null (an icon handle points at it).
HICON FindIconResource(HINSTANCE hModule, UINT nIDIcon);
