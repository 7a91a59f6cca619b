// A dialog back end: shows dialogs, message boxes and file dialogs to the operator and reports
// the operator's input. The dialogs' state and behaviour live in CUiDialog and CUiControl; a
// back end only draws that state and turns keys, clicks and scripts into CUiDialog's input
// calls.
#pragma once

#include "platform/ui/UiDialog.h"

#include <string>

// What a file dialog is asked for, and on OK the path the operator chose.
struct UI_FILE_REQUEST {
    BOOL bOpen;            // an open dialog, not a save dialog
    std::wstring defExt;   // default extension, without the dot; may be empty
    std::wstring fileName; // the initial file name; on OK, the chosen path
    DWORD flags;           // OFN_ flags as given
    std::wstring filter;   // pairs "text|pattern|", as given; may be empty
};

class CUiBackEnd {
public:
    virtual ~CUiBackEnd() = default;

    // Shows the dialog and feeds it the operator's input until the program ends it. Returns
    // with dialog.IsEnded() true, whatever happens (a back end that loses its screen ends the
    // dialog with IDCANCEL).
    virtual void RunModal(CUiDialog& dialog) = 0;

    // The program changed a control: draw it before returning, as the program may go on
    // working on this thread for a long time.
    virtual void ControlChanged(CUiDialog& dialog, CUiControl& control) = 0;

    // A modal message box; returns the button pressed (IDOK for a box with just OK).
    virtual int MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) = 0;

    // A modal file dialog; TRUE with request.fileName set to the full path on OK, FALSE on
    // Cancel.
    virtual BOOL ChooseFile(UI_FILE_REQUEST& request) = 0;
};

// The back end in use (not owned); null when none has been set and none is available.
CUiBackEnd* UiGetBackEnd();
// Sets the back end in use; null returns to the default. Returns the previous one.
CUiBackEnd* UiSetBackEnd(CUiBackEnd* pBackEnd);
