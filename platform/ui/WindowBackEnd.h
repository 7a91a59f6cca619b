// The window back end: dialogs, message boxes and file dialogs as real windows on the X display
// (FLTK), worked with the mouse and with the same keys as the terminal. Built only where FLTK
// is found (cmake/ui-window.cmake), as the plugin korvane-window.so; the program reaches these
// functions through platform/ui/BackEndPlugin.h, which says why when the plugin is missing.
#pragma once

#include "platform/ui/UiBackEnd.h"

// Whether the window back end is built into this program.
BOOL UiWindowBuilt();

// Whether dialogs can be shown as windows now: the back end is built, DISPLAY or
// WAYLAND_DISPLAY is set, and the X display answers (under Wayland, through XWayland's
// DISPLAY). `pWhy`, when given, gets the reason when not.
BOOL UiWindowAvailable(std::string* pWhy = nullptr);

// The window back end, made on first use and kept until the program exits; null when it is
// not built.
CUiBackEnd* UiWindowBackEnd();

#include <chrono>
#include <vector>

class CWindowDialogView;
class Fl_Window;

class CWindowBackEnd : public CUiBackEnd {
public:
    CWindowBackEnd() = default;
    ~CWindowBackEnd() override;

    void RunModal(CUiDialog& dialog) override;
    void ControlChanged(CUiDialog& dialog, CUiControl& control) override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) override;
    BOOL ChooseFile(UI_FILE_REQUEST& request) override;

private:
    // Opens the display once; FALSE (and says why on standard error) when it cannot.
    BOOL Open();
    Fl_Window* TopWindow() const;
    // Whether the program is at work on some dialog's input.
    bool IsBusy() const;
    CWindowDialogView* ViewOf(const Fl_Window* pWindow) const;
    void DropTypeahead();
    // Every event of the toolkit passes here first: a dialog takes no input while its program
    // is at work, and the shared keys go to the dialog.
    static int Dispatch(int event, Fl_Window* pWindow);

    std::vector<CWindowDialogView*> m_views; // the dialogs shown, innermost last
    BOOL m_bOpen = FALSE;
    // When the display's events were last served while the program worked.
    std::chrono::steady_clock::time_point m_lastServed;
    static CWindowBackEnd* s_pActive;
};
