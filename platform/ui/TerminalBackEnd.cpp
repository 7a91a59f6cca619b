#include "platform/ui/TerminalBackEnd.h"
#include "platform/ui/TerminalCurses.h"
#include "platform/ui/TerminalDraw.h"
#include "platform/ui/TerminalFileChooser.h"
#include "platform/ui/TerminalMessageBox.h"
#include "platform/ui/TerminalScreen.h"

#include "afxstr.h"

#include <chrono>
#include <cstdio>

namespace {

// How long a handler may keep the program before the input that came meanwhile is dropped.
const std::chrono::milliseconds kBusy(250);

} // namespace

CTerminalBackEnd::CTerminalBackEnd(const std::string& logPath) : m_log(logPath) {
    if (!m_log.IsOpen())
        std::fprintf(stderr, "korvane: %s; console and debugger output are dropped\n",
                     m_log.Error().c_str());
}

CTerminalBackEnd::~CTerminalBackEnd() = default;

void CTerminalBackEnd::Redraw() {
    if (!m_pView) {
        erase();
        return;
    }
    CUiDialog& dialog = m_pView->GetDialog();
    m_bFits = TermPlaceDialog(dialog.GetResource(), dialog.IsCentered(), CTerminalScreen::Cols(),
                              CTerminalScreen::Rows(), &m_frame);
    m_drawnCells.clear();
    if (!m_bFits) {
        TermDrawTooSmall(dialog.GetResource());
        return;
    }
    TermDrawDialog(*m_pView, m_frame);
    for (const auto& control : dialog.GetControls()) {
        if (control->GetKind() == UI_PROGRESS)
            m_drawnCells[control.get()] = TermProgressCells(dialog.GetResource(), *control);
    }
}

bool CTerminalBackEnd::IsDrawn(const CUiControl& control) const {
    if (control.GetKind() != UI_PROGRESS)
        return false;
    const auto drawn = m_drawnCells.find(&control);
    return drawn != m_drawnCells.end() &&
           drawn->second == TermProgressCells(m_pView->GetDialog().GetResource(), control);
}

TERM_RECT CTerminalBackEnd::Over() const {
    if (m_pView && m_bFits)
        return m_frame;
    return {0, 0, 0, 0};
}

void CTerminalBackEnd::RunModal(CUiDialog& dialog) {
    CTerminalHold hold;
    if (!hold.IsHeld()) {
        std::fprintf(stderr, "korvane: %s\n", hold.Error().c_str());
        dialog.End(IDCANCEL);
        return;
    }
    CTerminalDialogView view(dialog);
    CTerminalDialogView* const pOuter = m_pView;
    m_pView = &view;
    while (!dialog.IsEnded()) {
        Redraw();
        CTerminalScreen::Flush();
        const TERM_KEY key = CTerminalScreen::ReadKey();
        if (key.kind == TK_LOST) {
            dialog.End(IDCANCEL);
            break;
        }
        if (key.kind == TK_RESIZE)
            continue;
        if (!m_bFits) {
            // Nothing to work on a screen that does not show the dialog, but leaving it.
            if (key.kind == TK_ESC)
                view.HandleKey(key);
            continue;
        }
        const auto started = std::chrono::steady_clock::now();
        if (key.kind == TK_CLICK)
            view.HandleClick(key.col - m_frame.col - 1, key.row - m_frame.row - 1);
        else
            view.HandleKey(key);
        // The program was busy (an update holds it for seconds): what the operator pressed
        // meanwhile was pressed at a dialog that did not answer, and must not start a second
        // update once it does.
        if (std::chrono::steady_clock::now() - started > kBusy)
            CTerminalScreen::DropTypeahead();
    }
    m_pView = pOuter;
    if (m_pView) {
        Redraw();
        CTerminalScreen::Flush();
    }
}

// The program works on this thread until it returns to the dialog (a whole update); what it
// shows is drawn and sent to the terminal at once, but only when the screen would change: the
// update moves the bar once a block, and drawing the whole dialog each time would hold up the
// next request. (A text that did not change reaches no back end.)
void CTerminalBackEnd::ControlChanged(CUiDialog& dialog, CUiControl& control) {
    if (!m_pView || &m_pView->GetDialog() != &dialog || !CTerminalScreen::IsActive())
        return;
    if (IsDrawn(control))
        return;
    Redraw();
    CTerminalScreen::Flush();
}

int CTerminalBackEnd::MessageBox(const std::wstring& text, const std::wstring& caption,
                                 UINT nType) {
    CTerminalHold hold;
    if (!hold.IsHeld()) {
        std::fprintf(stderr, "%s: %s\n", CString(caption).ToUtf8().c_str(),
                     CString(text).ToUtf8().c_str());
        return UiMessageBoxButtons(nType)[0].result;
    }
    const int result = TermRunMessageBox(text, caption, nType, Over(), [this] { Redraw(); });
    Redraw();
    CTerminalScreen::Flush();
    return result;
}

BOOL CTerminalBackEnd::ChooseFile(UI_FILE_REQUEST& request) {
    CTerminalHold hold;
    if (!hold.IsHeld())
        return FALSE;
    const BOOL bChosen = TermRunFileChooser(request, Over(), [this] { Redraw(); });
    Redraw();
    CTerminalScreen::Flush();
    return bChosen;
}
