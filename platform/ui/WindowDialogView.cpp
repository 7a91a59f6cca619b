#include "platform/ui/WindowDialogView.h"
#include "platform/ui/UiProgress.h"
#include "platform/ui/WindowFont.h"

#include "afxstr.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

namespace {

// A progress bar that knows how many pixels it fills, so that a position which moves within the
// same pixel draws nothing.
class CProgressBar : public Fl_Widget {
public:
    CProgressBar(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
        box(FL_DOWN_BOX);
        color(FL_BACKGROUND2_COLOR);
        selection_color(fl_rgb_color(0, 64, 192));
    }
    // The pixels inside the border.
    int Width() const { return w() - Fl::box_dw(box()); }
    // false when the bar already shows that many pixels filled.
    bool SetFill(int pixels) {
        if (pixels == m_nFill)
            return false;
        m_nFill = pixels;
        redraw();
        return true;
    }

protected:
    void draw() override {
        draw_box(box(), x(), y(), w(), h(), color());
        if (m_nFill <= 0)
            return;
        fl_color(selection_color());
        fl_rectf(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), m_nFill,
                 h() - Fl::box_dh(box()));
    }

private:
    int m_nFill = 0;
};

const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// The closed field of a combo box, in dialog units (its template height is the open list's).
const short kComboFieldDlu = 12;
// The largest font full screen tries (an 8K panel gives some 200 px, more than a finger needs).
const int kMaxFontSize = 192;

std::string Utf8(const std::wstring& text) {
    return CString(text).ToUtf8();
}

std::wstring Wide(const char* text) {
    return CString(text ? text : "").GetString();
}

// A menu item's text as Fl_Menu_::add takes it literally.
std::string MenuLabel(const std::wstring& text) {
    std::string label;
    for (char c : Utf8(text)) {
        if (c == '/' || c == '\\' || c == '&' || c == '_')
            label += '\\';
        label += c;
    }
    return label;
}

// Sets an input's text only when it differs, so that typing keeps its cursor.
void SetInputText(Fl_Input_* pInput, const std::wstring& text) {
    const std::string utf8 = Utf8(text);
    if (utf8 != pInput->value())
        pInput->value(utf8.c_str());
}

void SetLabel(Fl_Widget* pWidget, const std::wstring& text) {
    const std::string utf8 = Utf8(text);
    if (!pWidget->label() || utf8 != pWidget->label()) {
        pWidget->copy_label(utf8.c_str());
        pWidget->redraw_label();
    }
}

// The dialog's big icon becomes the window's, for the window manager's caption and task bar.
void SetWindowIcon(Fl_Window& window, HICON hIcon) {
    if (!hIcon)
        return;
    Fl_PNG_Image image("icon", hIcon->png, static_cast<int>(hIcon->pngSize));
    if (!image.fail())
        window.icon(&image); // the window keeps a copy
}

// Asks the window manager, where one runs, to show the window full screen, above its panels
// (EWMH: a _NET_WM_STATE message to the root window); with none, nothing happens.
void AskFullScreen(Fl_Window& window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = fl_xid(&window);
    event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // add
    event.xclient.data.l[1] =
        static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

} // namespace

CWindowDialogView::CWindowDialogView(CUiDialog& dialog) : m_dialog(dialog) {
    int screenX = 0, screenY = 0, screenCx = 0, screenCy = 0;
    Fl::screen_xywh(screenX, screenY, screenCx, screenCy);
    const BOOL bFullScreen = WinFullScreen();
    Lay(WinFontSize());
    if (bFullScreen) {
        // The largest font whose layout still fits the screen: the template's proportions, as
        // large as the panel allows. The boxes over it grow with it.
        int fits = m_fontSize;
        for (int size = fits + 1; size <= kMaxFontSize; ++size) {
            Lay(size);
            if (m_place.cx > screenCx || m_place.cy > screenCy)
                break;
            fits = size;
        }
        Lay(fits);
        WinSetScale(double(m_fontSize) / kWinBaseFontSize);
    }
    // In full screen the template stands in the middle of a window as large as the screen.
    const int cx = bFullScreen ? screenCx : m_place.cx, cy = bFullScreen ? screenCy : m_place.cy;
    const int offsetX = (cx - m_place.cx) / 2, offsetY = (cy - m_place.cy) / 2;

    Fl_Group* const pCurrent = Fl_Group::current();
    Fl_Group::current(nullptr);
    m_window.reset(new Fl_Double_Window(cx, cy));
    m_window->copy_label(Utf8(dialog.GetCaption()).c_str());
    m_window->xclass("Korvane");
    SetWindowIcon(*m_window, dialog.GetIcon(TRUE));
    const auto& controls = dialog.GetControls();
    m_menus.resize(controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        UI_RECT rect = m_place.controls[i];
        rect.x += offsetX;
        rect.y += offsetY;
        m_widgets.push_back(Create(*controls[i], rect));
    }
    m_window->end();
    m_window->callback(OnClose, this);
    Fl_Group::current(pCurrent);

    if (bFullScreen) {
        // Not the toolkit's fullscreen(): without a window manager it makes the window one that
        // no manager sees, nameless and classless. A plain window without a border the size of
        // the screen is the same thing there; a manager is asked for full screen once shown.
        m_bFullScreen = true;
        m_window->border(0);
        m_window->position(screenX, screenY);
    } else {
        int x = 0, y = 0;
        WinPlaceWindow(dialog.GetResource(), m_units, dialog.IsCentered(), m_place.cx, m_place.cy,
                       screenCx, screenCy, &x, &y);
        m_window->position(screenX + x, screenY + y);
    }
    SyncAll();
}

// The base units and the controls' places at this font size: the units are the font's own, so
// that every position is still the template's dialog units.
void CWindowDialogView::Lay(int fontSize) {
    m_fontSize = fontSize;
    fl_font(WinFont(), fontSize);
    m_units = WinBaseUnits(static_cast<int>(fl_width(kLetters) + 0.5), fl_height());
    const UI_RECT field = MapDialogRect(0, 0, 0, kComboFieldDlu, m_units.x, m_units.y);
    m_place = WinPlaceDialog(m_dialog.GetResource(), m_units, std::max(field.cy, fl_height() + 6));
}

CWindowDialogView::~CWindowDialogView() {
    if (m_window)
        m_window->hide();
}

Fl_Window* CWindowDialogView::GetWindow() const {
    return m_window.get();
}

Fl_Widget* CWindowDialogView::Create(CUiControl& control, const UI_RECT& r) {
    m_tags.push_back(std::make_unique<WIDGET_TAG>(WIDGET_TAG{this, &control}));
    WIDGET_TAG* const tag = m_tags.back().get();
    Fl_Widget* widget = nullptr;
    switch (control.GetKind()) {
    case UI_STATIC: {
        // A flat box paints its own background, so that a redrawn label does not smear. A
        // label one line high stays on its line, as the template's texts fit theirs on the
        // device; a higher one wraps.
        Fl_Box* box = new Fl_Box(r.x, r.y, r.cx, r.cy);
        box->box(FL_FLAT_BOX);
        Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP;
        if (r.cy >= 2 * fl_height())
            align |= FL_ALIGN_WRAP;
        box->align(align);
        widget = box;
        break;
    }
    case UI_EDIT: {
        Fl_Input* input = control.IsReadOnly() ? new Fl_Output(r.x, r.y, r.cx, r.cy)
                                               : new Fl_Input(r.x, r.y, r.cx, r.cy);
        input->textfont(WinFont());
        input->textsize(m_fontSize);
        input->box(FL_DOWN_BOX);
        // A read-only field looks like the dialog's face, as on the device.
        input->color(control.IsReadOnly() ? FL_BACKGROUND_COLOR : FL_BACKGROUND2_COLOR);
        input->when(FL_WHEN_CHANGED);
        input->callback(OnInput, tag);
        widget = input;
        break;
    }
    case UI_PUSHBUTTON:
        widget = new Fl_Button(r.x, r.y, r.cx, r.cy);
        widget->callback(OnButton, tag);
        break;
    case UI_RADIOBUTTON: {
        // The dialog checks and unchecks the buttons of a group; the widget shows its state.
        Fl_Round_Button* radio = new Fl_Round_Button(r.x, r.y, r.cx, r.cy);
        radio->type(FL_NORMAL_BUTTON);
        radio->box(FL_FLAT_BOX);
        radio->callback(OnButton, tag);
        widget = radio;
        break;
    }
    case UI_COMBOBOX: {
        Fl_Input_Choice* combo = new Fl_Input_Choice(r.x, r.y, r.cx, r.cy);
        combo->textfont(WinFont());
        combo->textsize(m_fontSize);
        combo->input()->when(FL_WHEN_CHANGED);
        combo->input()->callback(OnInput, tag);
        combo->menubutton()->callback(OnMenu, tag);
        combo->menubutton()->textfont(WinFont());
        combo->menubutton()->textsize(m_fontSize);
        combo->menubutton()->clear_visible_focus();
        widget = combo;
        break;
    }
    case UI_PROGRESS:
        widget = new CProgressBar(r.x, r.y, r.cx, r.cy);
        break;
    default: {
        Fl_Box* box = new Fl_Box(FL_BORDER_FRAME, r.x, r.y, r.cx, r.cy, nullptr);
        widget = box;
        break;
    }
    }
    widget->labelfont(WinFont());
    widget->labelsize(m_fontSize);
    widget->user_data(tag);
    return widget;
}

void CWindowDialogView::Show() {
    m_window->show();
    if (m_bFullScreen)
        AskFullScreen(*m_window);
    FocusToWidget();
    Fl::flush();
}

bool CWindowDialogView::Sync(const CUiControl& control) {
    const auto& controls = m_dialog.GetControls();
    size_t at = 0;
    while (at < controls.size() && controls[at].get() != &control)
        ++at;
    if (at == controls.size())
        return false;
    Fl_Widget* const widget = m_widgets[at];
    switch (control.GetKind()) {
    case UI_EDIT:
        SetInputText(static_cast<Fl_Input_*>(widget), control.GetText());
        break;
    case UI_RADIOBUTTON:
        static_cast<Fl_Button*>(widget)->value(control.GetCheck() ? 1 : 0);
        SetLabel(widget, control.GetText());
        break;
    case UI_COMBOBOX: {
        Fl_Input_Choice* combo = static_cast<Fl_Input_Choice*>(widget);
        std::vector<std::wstring> items;
        for (int i = 0; i < control.GetCount(); ++i)
            items.push_back(control.GetItem(i)->text);
        if (items != m_menus[at]) {
            combo->clear();
            for (const std::wstring& item : items)
                combo->add(MenuLabel(item).c_str());
            m_menus[at] = items;
        }
        SetInputText(combo->input(), control.GetText());
        break;
    }
    case UI_PROGRESS: {
        CProgressBar* bar = static_cast<CProgressBar*>(widget);
        return bar->SetFill(UiProgressFill(control, bar->Width()));
    }
    default:
        SetLabel(widget, control.GetText());
        break;
    }
    widget->redraw();
    return true;
}

void CWindowDialogView::SyncAll() {
    for (const auto& control : m_dialog.GetControls())
        Sync(*control);
}

std::chrono::milliseconds CWindowDialogView::BusyFor() const {
    if (!IsBusy())
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 m_busySince);
}

void CWindowDialogView::Operate(const std::function<void()>& input) {
    if (m_nBusy++ == 0)
        m_busySince = std::chrono::steady_clock::now();
    FocusFromWidget();
    input();
    --m_nBusy;
    if (!m_dialog.IsEnded())
        SyncAll();
}

CUiControl* CWindowDialogView::ControlOf(const Fl_Widget* pWidget) const {
    for (; pWidget; pWidget = pWidget->parent()) {
        for (size_t i = 0; i < m_widgets.size(); ++i) {
            if (m_widgets[i] == pWidget)
                return m_dialog.GetControls()[i].get();
        }
    }
    return nullptr;
}

void CWindowDialogView::FocusFromWidget() {
    if (CUiControl* control = ControlOf(Fl::focus()))
        m_dialog.SetFocus(control->GetId());
}

void CWindowDialogView::FocusToWidget() {
    const CUiControl* focus = m_dialog.GetFocus();
    if (!focus)
        return;
    const auto& controls = m_dialog.GetControls();
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].get() != focus)
            continue;
        Fl_Widget* widget = m_widgets[i];
        if (focus->GetKind() == UI_COMBOBOX)
            widget = static_cast<Fl_Input_Choice*>(widget)->input();
        widget->take_focus();
        return;
    }
}

int CWindowDialogView::HandleKey() {
    if (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META))
        return 0;
    FocusFromWidget();
    const CUiControl* focus = m_dialog.GetFocus();
    const UI_CONTROL_KIND kind = focus ? focus->GetKind() : UI_UNKNOWN;
    const bool bButton = kind == UI_PUSHBUTTON || kind == UI_RADIOBUTTON;
    const int key = Fl::event_key();
    switch (key) {
    case FL_Tab:
    case 0xfe20: // ISO_Left_Tab, what X sends for Shift+Tab on some keyboards
        Operate([&] {
            m_dialog.Key(key == FL_Tab && !Fl::event_shift() ? UI_KEY_TAB : UI_KEY_BACKTAB);
        });
        FocusToWidget();
        return 1;
    case FL_Escape:
        Operate([&] { m_dialog.Key(UI_KEY_ESCAPE); });
        return 1;
    case FL_Up:
    case FL_Down:
        // Only a combo box takes them; elsewhere they would move the toolkit's own focus.
        if (kind == UI_COMBOBOX)
            Operate([&] { m_dialog.Key(key == FL_Up ? UI_KEY_UP : UI_KEY_DOWN); });
        return 1;
    case FL_F + 4:
        if (kind != UI_COMBOBOX)
            return 0;
        [[fallthrough]];
    case FL_Enter:
    case FL_KP_Enter:
        if (kind == UI_COMBOBOX) {
            // Enter or F4 opens a combo box's list; a pick reaches OnMenu.
            const auto& controls = m_dialog.GetControls();
            for (size_t i = 0; i < controls.size(); ++i) {
                if (controls[i].get() == focus)
                    static_cast<Fl_Input_Choice*>(m_widgets[i])->menubutton()->popup();
            }
            return 1;
        }
        Operate([&] { m_dialog.Key(UI_KEY_ACTIVATE); });
        return 1;
    case ' ':
        if (!bButton)
            return 0; // a space typed into a field
        Operate([&] { m_dialog.Key(UI_KEY_ACTIVATE); });
        return 1;
    default:
        return 0;
    }
}

void CWindowDialogView::OnButton(Fl_Widget* /*pWidget*/, void* pData) {
    WIDGET_TAG* tag = static_cast<WIDGET_TAG*>(pData);
    const WORD nID = tag->pControl->GetId();
    tag->pView->Operate([&] { tag->pView->m_dialog.Click(nID); });
}

void CWindowDialogView::OnInput(Fl_Widget* pWidget, void* pData) {
    WIDGET_TAG* tag = static_cast<WIDGET_TAG*>(pData);
    const WORD nID = tag->pControl->GetId();
    const std::wstring text = Wide(static_cast<Fl_Input_*>(pWidget)->value());
    tag->pView->Operate([&] { tag->pView->m_dialog.Type(nID, text); });
}

void CWindowDialogView::OnMenu(Fl_Widget* pWidget, void* pData) {
    WIDGET_TAG* tag = static_cast<WIDGET_TAG*>(pData);
    const WORD nID = tag->pControl->GetId();
    const int nIndex = static_cast<Fl_Menu_*>(pWidget)->value();
    if (nIndex < 0)
        return;
    tag->pView->Operate([&] { tag->pView->m_dialog.Select(nID, nIndex); });
}

// The window's close button (and the toolkit's own Esc, should it get one): Cancel.
void CWindowDialogView::OnClose(Fl_Widget* /*pWidget*/, void* pData) {
    CWindowDialogView* view = static_cast<CWindowDialogView*>(pData);
    view->Operate([view] { view->m_dialog.Command(IDCANCEL); });
}
