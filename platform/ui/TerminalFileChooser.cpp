#include "platform/ui/TerminalFileChooser.h"
#include "platform/ui/TerminalDraw.h"
#include "platform/ui/TerminalFolder.h"
#include "platform/ui/TerminalScreen.h"

#include "afxstr.h"

#include <algorithm>
#include <cwctype>

namespace {

enum CHOOSER_FOCUS { FOCUS_LIST, FOCUS_OPEN, FOCUS_CANCEL };

std::wstring Wide(const std::string& text) {
    return CString(text.c_str()).GetString();
}

class CChooser {
public:
    CChooser(const UI_FILE_REQUEST& request, const TERM_RECT& over)
        : m_over(over), m_title(request.bOpen ? L"Open" : L"Save As") {
        Enter(TermStartFolder(CString(request.fileName).ToUtf8()));
    }

    // TRUE with the path on a pick, FALSE on Cancel; keeps going otherwise.
    bool Handle(const TERM_KEY& key, BOOL* pResult, std::string* pPath);
    void Draw();

private:
    void Enter(const std::string& folder);
    bool Activate(BOOL* pResult, std::string* pPath);
    void Move(int step);
    void Jump(wchar_t ch);
    int ListRows() const { return m_frame.rows - 6; }

    TERM_RECT m_over;
    std::wstring m_title;
    TERM_RECT m_frame = {0, 0, 0, 0};
    TERM_RECT m_open = {0, 0, 0, 0}, m_cancel = {0, 0, 0, 0};
    std::string m_folder;
    std::vector<TERM_FOLDER_ENTRY> m_entries;
    std::string m_message;
    int m_current = 0;
    int m_top = 0;
    CHOOSER_FOCUS m_focus = FOCUS_LIST;
};

void CChooser::Enter(const std::string& folder) {
    std::vector<TERM_FOLDER_ENTRY> entries;
    std::string error;
    if (!TermListFolder(folder, &entries, &error)) {
        m_message = error; // stay where we are
        return;
    }
    m_message.clear();
    m_folder = folder;
    m_entries = entries;
    m_current = 0;
    m_top = 0;
}

bool CChooser::Activate(BOOL* pResult, std::string* pPath) {
    if (m_entries.empty())
        return false;
    const TERM_FOLDER_ENTRY& entry = m_entries[static_cast<size_t>(m_current)];
    if (entry.name == "..") {
        Enter(TermParentFolder(m_folder));
        return false;
    }
    const std::string path = TermJoinPath(m_folder, entry.name);
    if (entry.bFolder) {
        Enter(path);
        return false;
    }
    *pResult = TRUE;
    *pPath = path;
    return true;
}

void CChooser::Move(int step) {
    const int last = static_cast<int>(m_entries.size()) - 1;
    m_current = std::max(0, std::min(last, m_current + step));
}

void CChooser::Jump(wchar_t ch) {
    const size_t count = m_entries.size();
    for (size_t i = 1; i <= count; ++i) {
        const size_t at = (static_cast<size_t>(m_current) + i) % count;
        const std::wstring name = Wide(m_entries[at].name);
        if (!name.empty() &&
            std::towlower(static_cast<wint_t>(name[0])) == std::towlower(static_cast<wint_t>(ch))) {
            m_current = static_cast<int>(at);
            return;
        }
    }
}

bool CChooser::Handle(const TERM_KEY& key, BOOL* pResult, std::string* pPath) {
    *pResult = FALSE;
    const int page = std::max(1, ListRows() - 1);
    switch (key.kind) {
    case TK_ESC:
    case TK_LOST:
        return true;
    case TK_TAB:
        m_focus = static_cast<CHOOSER_FOCUS>((m_focus + 1) % 3);
        return false;
    case TK_BACKTAB:
        m_focus = static_cast<CHOOSER_FOCUS>((m_focus + 2) % 3);
        return false;
    case TK_UP:
        Move(-1);
        return false;
    case TK_DOWN:
        Move(1);
        return false;
    case TK_PAGEUP:
        Move(-page);
        return false;
    case TK_PAGEDOWN:
        Move(page);
        return false;
    case TK_HOME:
        Move(-static_cast<int>(m_entries.size()));
        return false;
    case TK_END:
        Move(static_cast<int>(m_entries.size()));
        return false;
    case TK_BACKSPACE:
        Enter(TermParentFolder(m_folder));
        return false;
    case TK_ENTER:
        if (m_focus == FOCUS_CANCEL)
            return true;
        return Activate(pResult, pPath);
    case TK_CHAR:
        if (key.ch == L' ' && m_focus != FOCUS_LIST)
            return m_focus == FOCUS_CANCEL ? true : Activate(pResult, pPath);
        Jump(key.ch);
        return false;
    case TK_CLICK: {
        if (m_cancel.Contains(key.col, key.row))
            return true;
        if (m_open.Contains(key.col, key.row))
            return Activate(pResult, pPath);
        const int row = key.row - (m_frame.row + 2);
        if (key.col > m_frame.col && key.col < m_frame.col + m_frame.cols - 1 && row >= 0 &&
            row < ListRows() && m_top + row < static_cast<int>(m_entries.size())) {
            m_focus = FOCUS_LIST;
            if (m_top + row == m_current)
                return Activate(pResult, pPath);
            m_current = m_top + row;
        }
        return false;
    }
    default:
        return false;
    }
}

void CChooser::Draw() {
    const int screenCols = CTerminalScreen::Cols(), screenRows = CTerminalScreen::Rows();
    const int cols = std::min(screenCols, 70), rows = std::min(screenRows, 20);
    const TERM_RECT area = m_over.cols > 0 ? m_over : TERM_RECT{0, 0, screenCols, screenRows};
    int col = std::max(0, std::min(area.col + (area.cols - cols) / 2, screenCols - cols));
    int row = std::max(0, std::min(area.row + (area.rows - rows) / 2, screenRows - rows));
    m_frame = {col, row, cols, rows};
    TermDrawFrame(m_frame, m_title);
    const int inner = cols - 4;

    // The folder, its start left out when it is too long.
    std::wstring folder = Wide(m_folder);
    if (static_cast<int>(folder.size()) > inner)
        folder = L"..." + folder.substr(folder.size() - static_cast<size_t>(inner - 3));
    TermDrawText(col + 2, row + 1, folder, inner, TA_BOLD);

    if (m_current < m_top)
        m_top = m_current;
    if (m_current >= m_top + ListRows())
        m_top = m_current - ListRows() + 1;
    for (int r = 0; r < ListRows(); ++r) {
        const size_t at = static_cast<size_t>(m_top + r);
        if (at >= m_entries.size())
            break;
        std::wstring name = Wide(m_entries[at].name) + (m_entries[at].bFolder ? L"/" : L"");
        name.resize(static_cast<size_t>(inner), L' ');
        const bool bCurrent = static_cast<int>(at) == m_current;
        TermDrawText(col + 2, row + 2 + r, name, inner,
                     bCurrent ? (m_focus == FOCUS_LIST ? TA_REVERSE : TA_BOLD) : TA_NORMAL);
    }
    if (m_entries.size() <= 1 && m_message.empty())
        TermDrawText(col + 2, row + 3, L"(no files here)", inner);
    TermDrawText(col + 2, row + rows - 3, Wide(m_message), inner);

    const std::wstring open = L"[ Open ]", cancel = L"[ Cancel ]";
    m_open = {col + cols - 2 - static_cast<int>(open.size() + cancel.size()) - 2, row + rows - 2,
              static_cast<int>(open.size()), 1};
    m_cancel = {m_open.col + m_open.cols + 2, m_open.row, static_cast<int>(cancel.size()), 1};
    TermDrawText(m_open.col, m_open.row, open, m_open.cols, m_focus == FOCUS_OPEN ? TA_REVERSE : 0);
    TermDrawText(m_cancel.col, m_cancel.row, cancel, m_cancel.cols,
                 m_focus == FOCUS_CANCEL ? TA_REVERSE : 0);
    TermPlaceCursor(col + 2, row + 2 + m_current - m_top, false);
}

} // namespace

BOOL TermRunFileChooser(UI_FILE_REQUEST& request, const TERM_RECT& over,
                        const std::function<void()>& drawBehind) {
    CChooser chooser(request, over);
    for (;;) {
        chooser.Draw();
        CTerminalScreen::Flush();
        const TERM_KEY key = CTerminalScreen::ReadKey();
        if (key.kind == TK_RESIZE) {
            drawBehind();
            continue;
        }
        BOOL bResult = FALSE;
        std::string path;
        if (chooser.Handle(key, &bResult, &path)) {
            if (bResult)
                request.fileName = Wide(path);
            return bResult;
        }
    }
}
