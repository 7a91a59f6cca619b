#include "platform/ui/WindowMessageBox.h"

#include "platform/ui/WindowFont.h"

#include "afxstr.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>

namespace {

// Lengths at scale 1; a box is drawn at the display's scale, as the dialog is.
const int kMargin = 14;
const int kIconSize = 32;
const int kTextMaxWidth = 380;
const int kButtonCx = 80;
const int kButtonCy = 26;
const int kButtonGap = 8;
const int kMinCx = 160;
const int kCrossWidth = 4;

// The icon of a box: a stop sign (a red disc with a white cross) for MB_ICONHAND, a yellow
// triangle with "!" for MB_ICONEXCLAMATION, blue discs with "?" or "i" for the others.
class CBoxIcon : public Fl_Widget {
public:
    CBoxIcon(int x, int y, int size, UINT nIcon) : Fl_Widget(x, y, size, size), m_nIcon(nIcon) {}

    void draw() override {
        const int cx = x() + w() / 2, cy = y() + h() / 2;
        if (m_nIcon == MB_ICONHAND) {
            fl_color(fl_rgb_color(204, 0, 0));
            fl_pie(x(), y(), w(), h(), 0, 360);
            fl_color(FL_WHITE);
            fl_line_style(FL_SOLID | FL_CAP_ROUND, WinScaled(kCrossWidth));
            const int d = w() / 4;
            fl_line(cx - d, cy - d, cx + d, cy + d);
            fl_line(cx - d, cy + d, cx + d, cy - d);
            fl_line_style(0);
            return;
        }
        const char* glyph =
            m_nIcon == MB_ICONQUESTION ? "?" : (m_nIcon == MB_ICONEXCLAMATION ? "!" : "i");
        if (m_nIcon == MB_ICONEXCLAMATION) {
            fl_color(fl_rgb_color(240, 200, 0));
            fl_polygon(cx, y(), x() + w(), y() + h(), x(), y() + h());
            fl_color(FL_BLACK);
        } else {
            fl_color(fl_rgb_color(0, 80, 200));
            fl_pie(x(), y(), w(), h(), 0, 360);
            fl_color(FL_WHITE);
        }
        fl_font(FL_HELVETICA_BOLD, h() * 2 / 3);
        fl_draw(glyph, x(), y() + h() / 8, w(), h(), FL_ALIGN_CENTER);
    }

private:
    UINT m_nIcon;
};

struct BOX_STATE {
    Fl_Window* pWindow;
    int nResult;
};

struct BUTTON_TAG {
    BOX_STATE* pState;
    int nResult;
};

void OnButton(Fl_Widget*, void* data) {
    BUTTON_TAG* tag = static_cast<BUTTON_TAG*>(data);
    tag->pState->nResult = tag->nResult;
    tag->pState->pWindow->hide();
}

// Esc and the close button: Cancel where the box has it; a box without it stays open.
struct ESCAPE_TAG {
    BOX_STATE* pState;
    int nResult;
};

void OnClose(Fl_Widget*, void* data) {
    ESCAPE_TAG* tag = static_cast<ESCAPE_TAG*>(data);
    if (tag->nResult == 0)
        return;
    tag->pState->nResult = tag->nResult;
    tag->pState->pWindow->hide();
}

} // namespace

int WinRunMessageBox(const std::wstring& text, const std::wstring& caption, UINT nType,
                     Fl_Window* pOver) {
    const std::string utf8Text = CString(text).ToUtf8();
    const std::string utf8Caption = CString(caption).ToUtf8();
    const std::vector<UI_BOX_BUTTON> buttons = UiMessageBoxButtons(nType);
    const UINT nIcon = nType & 0xF0u;

    const int margin = WinScaled(kMargin), iconSize = WinScaled(kIconSize);
    const int buttonCx = WinScaled(kButtonCx), buttonCy = WinScaled(kButtonCy);
    const int buttonGap = WinScaled(kButtonGap);
    fl_font(WinFont(), WinFontSize());
    int textCx = WinScaled(kTextMaxWidth), textCy = 0;
    fl_measure(utf8Text.c_str(), textCx, textCy, 0);
    // A left-aligned label is drawn 3 pixels in from each side; and room for rounding.
    textCx = std::max(textCx, 1) + 8;
    textCy = std::max(textCy, fl_height());

    const int iconCx = nIcon ? iconSize + margin : 0;
    const int buttonsCx = static_cast<int>(buttons.size()) * (buttonCx + buttonGap) - buttonGap;
    const int bodyCy = std::max(textCy, nIcon ? iconSize : 0);
    const int cx = std::max({iconCx + textCx, buttonsCx, WinScaled(kMinCx)}) + 2 * margin;
    const int cy = margin + bodyCy + margin + buttonCy + margin;

    Fl_Group* const pCurrent = Fl_Group::current();
    Fl_Group::current(nullptr);
    std::unique_ptr<Fl_Double_Window> window(new Fl_Double_Window(cx, cy));
    window->copy_label(utf8Caption.c_str());
    window->xclass("KorvaneMessageBox");
    BOX_STATE state{window.get(), UiMessageBoxEscape(nType)};
    std::vector<BUTTON_TAG> tags(buttons.size());
    ESCAPE_TAG escape{&state, UiMessageBoxEscape(nType)};
    if (state.nResult == 0)
        state.nResult = buttons.front().result;

    if (nIcon)
        new CBoxIcon(margin, margin + (bodyCy - iconSize) / 2, iconSize, nIcon);
    Fl_Box* label = new Fl_Box(margin + iconCx, margin + (bodyCy - textCy) / 2, textCx, textCy);
    label->box(FL_NO_BOX);
    label->labelfont(WinFont());
    label->labelsize(WinFontSize());
    label->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    label->copy_label(utf8Text.c_str());

    int x = (cx - buttonsCx) / 2;
    const int y = cy - margin - buttonCy;
    Fl_Button* first = nullptr;
    for (size_t i = 0; i < buttons.size(); ++i) {
        Fl_Button* button = i == 0 ? new Fl_Return_Button(x, y, buttonCx, buttonCy)
                                   : new Fl_Button(x, y, buttonCx, buttonCy);
        if (i == 0)
            first = button;
        button->labelfont(WinFont());
        button->labelsize(WinFontSize());
        button->copy_label(CString(buttons[i].label).ToUtf8().c_str());
        tags[i] = BUTTON_TAG{&state, buttons[i].result};
        button->callback(OnButton, &tags[i]);
        x += buttonCx + buttonGap;
    }
    window->end();
    window->callback(OnClose, &escape);
    window->set_modal();

    if (pOver && pOver->shown())
        window->position(pOver->x() + (pOver->w() - cx) / 2, pOver->y() + (pOver->h() - cy) / 2);
    else
        window->position((Fl::w() - cx) / 2, (Fl::h() - cy) / 2);
    window->show();
    // The keys are the box's, wherever the display sends them (Dispatch hands on to it).
    first->take_focus();
    Fl::flush();
    while (window->shown())
        Fl::wait();
    Fl_Group::current(pCurrent);
    return state.nResult;
}
