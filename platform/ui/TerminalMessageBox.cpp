#include "platform/ui/TerminalMessageBox.h"
#include "platform/ui/TerminalDraw.h"
#include "platform/ui/TerminalScreen.h"

#include <algorithm>

namespace {

const int kMaxTextCols = 56;

// The stop sign of MB_ICONHAND.
const wchar_t* const kStopSign[] = {L" ____ ", L"/    \\", L"|STOP|", L"\\____/"};
const int kStopRows = 4;
const int kStopCols = 6;

struct BOX_LAYOUT {
    TERM_RECT frame;
    int textCol;
    std::vector<std::wstring> lines;
    std::vector<TERM_RECT> buttons;
};

std::wstring ButtonText(const UI_BOX_BUTTON& button) {
    return std::wstring(L"[ ") + button.label + L" ]";
}

BOX_LAYOUT Layout(const std::wstring& text, const std::wstring& caption, bool bStop,
                  const std::vector<UI_BOX_BUTTON>& buttons, const TERM_RECT& over) {
    const int screenCols = CTerminalScreen::Cols(), screenRows = CTerminalScreen::Rows();
    const int iconCols = bStop ? kStopCols + 2 : 0;
    const int textMax = std::max(8, std::min(kMaxTextCols, screenCols - 6 - iconCols));
    BOX_LAYOUT box;
    box.lines = TermWrapText(text, textMax);
    int textCols = 0;
    for (const auto& line : box.lines)
        textCols = std::max(textCols, static_cast<int>(line.size()));
    int buttonCols = 0;
    for (const auto& button : buttons)
        buttonCols += static_cast<int>(ButtonText(button).size()) + 2;
    const int inner =
        std::max({iconCols + textCols, buttonCols, static_cast<int>(caption.size()) + 2});
    const int contentRows = std::max(static_cast<int>(box.lines.size()), bStop ? kStopRows : 0);
    const int cols = inner + 4, rows = contentRows + 5;
    const TERM_RECT area = over.cols > 0 ? over : TERM_RECT{0, 0, screenCols, screenRows};
    int col = area.col + (area.cols - cols) / 2;
    int row = area.row + (area.rows - rows) / 2;
    col = std::max(0, std::min(col, screenCols - cols));
    row = std::max(0, std::min(row, screenRows - rows));
    box.frame = {col, row, cols, rows};
    box.textCol = col + 2 + iconCols;
    int buttonCol = col + (cols - buttonCols) / 2 + 1;
    for (const auto& button : buttons) {
        const int width = static_cast<int>(ButtonText(button).size());
        box.buttons.push_back({buttonCol, row + rows - 2, width, 1});
        buttonCol += width + 2;
    }
    return box;
}

void Draw(const BOX_LAYOUT& box, const std::wstring& caption, bool bStop,
          const std::vector<UI_BOX_BUTTON>& buttons, size_t focus) {
    TermDrawFrame(box.frame, caption);
    if (bStop) {
        for (int r = 0; r < kStopRows; ++r)
            TermDrawText(box.frame.col + 2, box.frame.row + 2 + r, kStopSign[r], kStopCols,
                         TA_ALARM);
    }
    // A short text stands level with the middle of the stop sign.
    const int lines = static_cast<int>(box.lines.size());
    const int offset = bStop && lines < kStopRows ? (kStopRows - lines + 1) / 2 : 0;
    for (size_t i = 0; i < box.lines.size(); ++i)
        TermDrawText(box.textCol, box.frame.row + 2 + offset + static_cast<int>(i), box.lines[i],
                     box.frame.col + box.frame.cols - 2 - box.textCol);
    for (size_t i = 0; i < buttons.size(); ++i)
        TermDrawText(box.buttons[i].col, box.buttons[i].row, ButtonText(buttons[i]),
                     box.buttons[i].cols, i == focus ? TA_REVERSE : TA_NORMAL);
    TermPlaceCursor(box.buttons[focus].col + 2, box.buttons[focus].row, false);
}

} // namespace

std::vector<std::wstring> TermWrapText(const std::wstring& text, int width) {
    std::vector<std::wstring> lines;
    const size_t limit = static_cast<size_t>(std::max(1, width));
    size_t start = 0;
    do {
        size_t end = text.find(L'\n', start);
        std::wstring paragraph = text.substr(start, end == std::wstring::npos ? end : end - start);
        if (!paragraph.empty() && paragraph.back() == L'\r')
            paragraph.pop_back();
        while (paragraph.size() > limit) {
            size_t cut = paragraph.rfind(L' ', limit);
            const bool bAtSpace = cut != std::wstring::npos && cut > 0;
            if (!bAtSpace)
                cut = limit;
            lines.push_back(paragraph.substr(0, cut));
            paragraph.erase(0, bAtSpace ? cut + 1 : cut);
        }
        lines.push_back(paragraph);
        start = end == std::wstring::npos ? end : end + 1;
    } while (start != std::wstring::npos);
    return lines;
}

int TermRunMessageBox(const std::wstring& text, const std::wstring& caption, UINT nType,
                      const TERM_RECT& over, const std::function<void()>& drawBehind) {
    const bool bStop = (nType & 0xF0) == MB_ICONHAND;
    const std::vector<UI_BOX_BUTTON> buttons = UiMessageBoxButtons(nType);
    size_t focus = 0;
    // Keys pressed before the box appeared (an Enter too many while an update ran) must not
    // answer it unread.
    CTerminalScreen::DropTypeahead();
    for (;;) {
        const BOX_LAYOUT box = Layout(text, caption, bStop, buttons, over);
        Draw(box, caption, bStop, buttons, focus);
        CTerminalScreen::Flush();
        const TERM_KEY key = CTerminalScreen::ReadKey();
        switch (key.kind) {
        case TK_LOST:
            return UiMessageBoxEscape(nType) ? UiMessageBoxEscape(nType) : buttons[0].result;
        case TK_RESIZE:
            drawBehind();
            break;
        case TK_ENTER:
            return buttons[focus].result;
        case TK_CHAR:
            if (key.ch == L' ')
                return buttons[focus].result;
            break;
        case TK_ESC:
            if (UiMessageBoxEscape(nType))
                return UiMessageBoxEscape(nType);
            break;
        case TK_TAB:
        case TK_RIGHT:
            focus = (focus + 1) % buttons.size();
            break;
        case TK_BACKTAB:
        case TK_LEFT:
            focus = (focus + buttons.size() - 1) % buttons.size();
            break;
        case TK_CLICK:
            for (size_t i = 0; i < buttons.size(); ++i) {
                if (box.buttons[i].Contains(key.col, key.row))
                    return buttons[i].result;
            }
            break;
        default:
            break;
        }
    }
}
