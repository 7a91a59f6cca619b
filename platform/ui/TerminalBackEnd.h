// The terminal back end: dialogs, message boxes and file dialogs drawn with ncurses in the
// terminal the program runs in, worked with the keyboard and the mouse. While it exists, the
// program's console and debugger output go to its log file (TerminalLog.h), not the screen.
#pragma once

#include "platform/ui/TerminalDialogView.h"
#include "platform/ui/TerminalLog.h"
#include "platform/ui/UiBackEnd.h"

#include <map>

class CTerminalBackEnd : public CUiBackEnd {
public:
    // Routes console and debugger output to the log at `logPath`.
    explicit CTerminalBackEnd(const std::string& logPath = TermLogPath());
    ~CTerminalBackEnd() override;

    const CTerminalLog& GetLog() const { return m_log; }

    void RunModal(CUiDialog& dialog) override;
    void ControlChanged(CUiDialog& dialog, CUiControl& control) override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) override;
    BOOL ChooseFile(UI_FILE_REQUEST& request) override;

private:
    // Draws the dialog now shown (or the note that the screen is too small for it).
    void Redraw();
    // Where boxes go: over the dialog shown, else the middle of the screen.
    TERM_RECT Over() const;
    // Whether the screen already shows what the control shows now: a progress bar whose
    // position moved within the same cell.
    bool IsDrawn(const CUiControl& control) const;

    CTerminalLog m_log;
    CTerminalDialogView* m_pView = nullptr;
    bool m_bFits = false;
    TERM_RECT m_frame = {0, 0, 0, 0};
    // The cells each progress bar filled when the dialog was last drawn.
    std::map<const CUiControl*, int> m_drawnCells;
};
