#include "platform/ui/WindowBackEnd.h"

#include <cstdlib>
#include <string>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

#ifndef KORVANE_HAVE_FLTK

BOOL UiWindowBuilt() {
    return FALSE;
}

BOOL UiWindowAvailable(std::string* pWhy) {
    if (pWhy)
        *pWhy = "the window back end is not built into this program (FLTK was not found)";
    return FALSE;
}

CUiBackEnd* UiWindowBackEnd() {
    return nullptr;
}

#else

#include "platform/ui/WindowDialogView.h"
#include "platform/ui/WindowFileChooser.h"
#include "platform/ui/WindowMessageBox.h"

#include "afxstr.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// How long the program may hold the thread before the window, still refusing input, is
// repainted where it was uncovered.
const std::chrono::milliseconds kServeAfter(100);

Display* g_pDisplay = nullptr; // the display's connection, once it has answered

bool IsOperatorInput(int event) {
    switch (event) {
    case FL_PUSH:
    case FL_RELEASE:
    case FL_DRAG:
    case FL_MOUSEWHEEL:
    case FL_KEYDOWN:
    case FL_KEYUP:
    case FL_SHORTCUT:
    case FL_CLOSE:
    case FL_PASTE:
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE:
    case FL_DND_RELEASE:
        return true;
    default:
        return false;
    }
}

} // namespace

BOOL UiWindowBuilt() {
    return TRUE;
}

BOOL UiWindowAvailable(std::string* pWhy) {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        if (pWhy)
            *pWhy = "neither DISPLAY nor WAYLAND_DISPLAY is set";
        return FALSE;
    }
    // FLTK 1.3 speaks X11 only: under Wayland it needs XWayland's DISPLAY. The connection
    // that answered is kept for the windows: closing it could make a server with no other
    // client reset, and refuse the next connection while it does.
    if (!g_pDisplay)
        g_pDisplay = XOpenDisplay(nullptr);
    if (!g_pDisplay) {
        if (pWhy)
            *pWhy = std::string("the X display \"") + XDisplayName(nullptr) + "\" cannot be opened";
        return FALSE;
    }
    return TRUE;
}

CUiBackEnd* UiWindowBackEnd() {
    static CWindowBackEnd s_window;
    return &s_window;
}

CWindowBackEnd* CWindowBackEnd::s_pActive = nullptr;

CWindowBackEnd::~CWindowBackEnd() {
    if (s_pActive == this) {
        Fl::event_dispatch(nullptr);
        s_pActive = nullptr;
    }
}

BOOL CWindowBackEnd::Open() {
    if (m_bOpen)
        return TRUE;
    std::string why;
    if (!UiWindowAvailable(&why)) {
        std::fprintf(stderr, "korvane: no window can be shown: %s\n", why.c_str());
        return FALSE;
    }
    fl_open_display(g_pDisplay);
    Fl::visual(FL_DOUBLE | FL_RGB);
    s_pActive = this;
    Fl::event_dispatch(Dispatch);
    m_bOpen = TRUE;
    return TRUE;
}

Fl_Window* CWindowBackEnd::TopWindow() const {
    return m_views.empty() ? nullptr : m_views.back()->GetWindow();
}

int CWindowBackEnd::Dispatch(int event, Fl_Window* pWindow) {
    if (s_pActive) {
        const std::vector<CWindowDialogView*>& views = s_pActive->m_views;
        for (CWindowDialogView* view : views) {
            if (view->GetWindow() != pWindow)
                continue;
            // Input that arrives while the program works is dropped, not queued: a second
            // click on "Flash!" or a close during an update must not act once it is over.
            const bool bBusy = std::any_of(views.begin(), views.end(),
                                           [](CWindowDialogView* v) { return v->IsBusy(); });
            if (bBusy && IsOperatorInput(event))
                return 0;
            if (event == FL_KEYBOARD && view->HandleKey())
                return 1;
        }
    }
    return Fl::handle_(event, pWindow);
}

void CWindowBackEnd::RunModal(CUiDialog& dialog) {
    if (!Open()) {
        dialog.End(IDCANCEL);
        return;
    }
    CWindowDialogView view(dialog);
    m_views.push_back(&view);
    view.Show();
    while (!dialog.IsEnded()) {
        if (!view.GetWindow()->shown()) {
            dialog.Command(IDCANCEL);
            break;
        }
        Fl::wait(1.0);
    }
    if (!dialog.IsEnded())
        dialog.End(IDCANCEL);
    m_views.pop_back();
    view.GetWindow()->hide();
    Fl::flush();
}

// The program works on this thread until it returns to the dialog (a whole update): what it
// shows is drawn and sent to the display at once. Once it has held the thread a while, the
// display's other events are served too (input to a working dialog is dropped by Dispatch),
// so that an uncovered window is repainted.
void CWindowBackEnd::ControlChanged(CUiDialog& dialog, CUiControl& control) {
    for (CWindowDialogView* view : m_views) {
        if (&view->GetDialog() != &dialog)
            continue;
        view->Sync(control);
        if (view->IsBusy() && view->BusyFor() >= kServeAfter)
            Fl::check();
        else
            Fl::flush();
        return;
    }
}

int CWindowBackEnd::MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) {
    if (!Open()) {
        std::fprintf(stderr, "%s: %s\n", CString(caption).ToUtf8().c_str(),
                     CString(text).ToUtf8().c_str());
        return WinBoxButtons(nType).front().result;
    }
    const int result = WinRunMessageBox(text, caption, nType, TopWindow());
    Fl::flush();
    return result;
}

BOOL CWindowBackEnd::ChooseFile(UI_FILE_REQUEST& request) {
    if (!Open())
        return FALSE;
    const BOOL bChosen = WinRunFileChooser(request);
    Fl::flush();
    return bChosen;
}

#endif
