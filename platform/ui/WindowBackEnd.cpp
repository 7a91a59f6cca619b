#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/WindowDialogView.h"
#include "platform/ui/WindowFileChooser.h"
#include "platform/ui/WindowMessageBox.h"
#include "platform/ui/WindowScale.h"

#include "afxstr.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// How long the program may hold the thread before the window, still refusing input, is
// repainted where it was uncovered.
const std::chrono::milliseconds kServeAfter(100);
// And then how often: serving the display's events costs a block's turnaround several times
// over, while a repaint twenty times a second is all an eye needs.
const std::chrono::milliseconds kServeEvery(50);

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
    if (!g_pDisplay && !IsSet("DISPLAY")) {
        if (pWhy)
            *pWhy = "WAYLAND_DISPLAY is set but not DISPLAY, and the window needs XWayland's X "
                    "display";
        return FALSE;
    }
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
    // The display's scale: its Xft.dpi where its resources give one (XGetDefault reads the
    // server's RESOURCE_MANAGER, as xrdb sets it), else KORVANE_SCALE. The toolkit's own
    // dialogs (its file chooser) take their font size from FL_NORMAL_SIZE.
    std::string bad;
    WinSetScale(
        WinChooseScale(XGetDefault(g_pDisplay, "Xft", "dpi"), std::getenv("KORVANE_SCALE"), &bad));
    if (!bad.empty())
        std::fprintf(stderr, "korvane: %s\n", bad.c_str());
    FL_NORMAL_SIZE = static_cast<Fl_Fontsize>(FL_NORMAL_SIZE * WinScale() + 0.5);
    s_pActive = this;
    Fl::event_dispatch(Dispatch);
    m_bOpen = TRUE;
    return TRUE;
}

Fl_Window* CWindowBackEnd::TopWindow() const {
    return m_views.empty() ? nullptr : m_views.back()->GetWindow();
}

bool CWindowBackEnd::IsBusy() const {
    return std::any_of(m_views.begin(), m_views.end(),
                       [](CWindowDialogView* view) { return view->IsBusy(); });
}

CWindowDialogView* CWindowBackEnd::ViewOf(const Fl_Window* pWindow) const {
    for (CWindowDialogView* view : m_views) {
        if (view->GetWindow() == pWindow)
            return view;
    }
    return nullptr;
}

int CWindowBackEnd::Dispatch(int event, Fl_Window* pWindow) {
    CWindowDialogView* view = s_pActive ? s_pActive->ViewOf(pWindow) : nullptr;
    if (!view)
        return Fl::handle_(event, pWindow);
    if (s_pActive->IsBusy() && IsOperatorInput(event)) {
        // The program is at work (an update, perhaps with a box over it): nothing reaches the
        // dialog, and input is dropped, not kept for later, so that a second click on a button
        // or a close does not act once the work is over. Keys the display sends to the
        // dialog's window while a box holds the focus are the box's.
        Fl_Window* modal = Fl::modal();
        Fl_Widget* focus = Fl::focus();
        const bool bKey = event == FL_KEYDOWN || event == FL_KEYUP;
        if (bKey && modal && modal != pWindow && focus &&
            (focus == modal || focus->window() == modal))
            return Fl::handle_(event, modal);
        return 0;
    }
    // An open list holds the grab and takes its keys itself.
    if (Fl::grab() || (Fl::modal() && Fl::modal() != pWindow))
        return Fl::handle_(event, pWindow);
    if (event == FL_KEYBOARD && view->HandleKey())
        return 1;
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
// so that an uncovered window is repainted. A change that looks the same (the bar moving
// within a pixel) costs the line nothing: no drawing, no trip to the display.
void CWindowBackEnd::ControlChanged(CUiDialog& dialog, CUiControl& control) {
    for (CWindowDialogView* view : m_views) {
        if (&view->GetDialog() != &dialog)
            continue;
        if (!view->Sync(control))
            return;
        const auto now = std::chrono::steady_clock::now();
        if (view->IsBusy() && view->BusyFor() >= kServeAfter && now - m_lastServed >= kServeEvery) {
            m_lastServed = now;
            Fl::check();
        } else {
            Fl::flush();
        }
        return;
    }
}

// Keys and clicks that reached the display while the program worked (during a wait, say) are
// taken in and dropped by Dispatch now, before a box shows: they must not answer it unread.
void CWindowBackEnd::DropTypeahead() {
    if (!IsBusy())
        return;
    XSync(fl_display, False);
    Fl::check();
}

int CWindowBackEnd::MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) {
    if (!Open()) {
        std::fprintf(stderr, "%s: %s\n", CString(caption).ToUtf8().c_str(),
                     CString(text).ToUtf8().c_str());
        return UiMessageBoxButtons(nType).front().result;
    }
    DropTypeahead();
    const int result = WinRunMessageBox(text, caption, nType, TopWindow());
    Fl::flush();
    return result;
}

BOOL CWindowBackEnd::ChooseFile(UI_FILE_REQUEST& request) {
    if (!Open())
        return FALSE;
    DropTypeahead();
    const BOOL bChosen = WinRunFileChooser(request);
    Fl::flush();
    return bChosen;
}
