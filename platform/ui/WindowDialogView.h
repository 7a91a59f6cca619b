// One dialog shown as an FLTK window: a widget for each control at its template place, kept in
// step with the control's state. The operator's clicks and typing reach the dialog as its input
// calls; the shared keys (Tab, Shift+Tab, Space, Enter, Up, Down, Esc) act on the dialog's own
// focus order, and the widget with the toolkit's focus follows it.
#pragma once

#include "platform/ui/UiDialog.h"
#include "platform/ui/WindowLayout.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Fl_Double_Window;
class Fl_Widget;
class Fl_Window;

class CWindowDialogView {
public:
    explicit CWindowDialogView(CUiDialog& dialog);
    ~CWindowDialogView();
    CWindowDialogView(const CWindowDialogView&) = delete;
    CWindowDialogView& operator=(const CWindowDialogView&) = delete;

    CUiDialog& GetDialog() const { return m_dialog; }
    Fl_Window* GetWindow() const;
    const WIN_DIALOG_PLACE& GetPlace() const { return m_place; }

    // Shows the window, the focus on the dialog's focused control.
    void Show();
    // The control's state to its widget (drawn at the next flush); false when the widget
    // already looked that way (a progress bar still filling the same pixels).
    bool Sync(const CUiControl& control);
    void SyncAll();

    // Runs the operator's input against the dialog. While it runs (the program may work for
    // long: a whole update), the window takes no input; afterwards every widget shows the
    // controls' state and the focus.
    void Operate(const std::function<void()>& input);
    // Whether the program is working on the operator's input, and for how long.
    bool IsBusy() const { return m_nBusy > 0; }
    std::chrono::milliseconds BusyFor() const;

    // A key pressed in the window: 1 when it was one of the shared keys and is used up.
    int HandleKey();

private:
    struct WIDGET_TAG {
        CWindowDialogView* pView;
        CUiControl* pControl;
    };

    void Lay(int fontSize);
    Fl_Widget* Create(CUiControl& control, const UI_RECT& rect);
    CUiControl* ControlOf(const Fl_Widget* pWidget) const;
    // The dialog's focus follows the toolkit's (a click moves it), and the other way round.
    void FocusFromWidget();
    void FocusToWidget();

    static void OnButton(Fl_Widget* pWidget, void* pData);
    static void OnInput(Fl_Widget* pWidget, void* pData);
    static void OnMenu(Fl_Widget* pWidget, void* pData);
    static void OnClose(Fl_Widget* pWidget, void* pData);

    CUiDialog& m_dialog;
    int m_fontSize = 0;
    bool m_bFullScreen = false;
    WIN_BASE_UNITS m_units;
    WIN_DIALOG_PLACE m_place;
    std::unique_ptr<Fl_Double_Window> m_window;
    std::vector<Fl_Widget*> m_widgets; // by template order; owned by the window
    std::vector<std::unique_ptr<WIDGET_TAG>> m_tags;
    std::vector<std::vector<std::wstring>> m_menus; // a combo box's list as its menu shows it
    int m_nBusy = 0;
    std::chrono::steady_clock::time_point m_busySince;
};
