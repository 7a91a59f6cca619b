// A back end without a screen, for tests: a script plays the operator (sets control values,
// clicks, reads what the dialog shows), message boxes and file dialogs take queued answers,
// and every change the program shows is logged in order.
#pragma once

#include "platform/ui/UiBackEnd.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

enum UI_EVENT_KIND {
    UI_EVENT_TEXT,       // a control's text changed: id, text
    UI_EVENT_CHECK,      // a radio button's check changed: id, value (0 or 1)
    UI_EVENT_LIST,       // a combo box's list or selection changed: id, text, value = selection
    UI_EVENT_PROGRESS,   // a progress bar changed: id, lower, upper, value = position
    UI_EVENT_MESSAGEBOX, // a message box was shown: text, caption, style
    UI_EVENT_FILEDIALOG, // a file dialog was shown: text = initial file name
};

struct UI_EVENT {
    UI_EVENT_KIND kind;
    WORD id;
    std::wstring text;
    std::wstring caption;
    UINT style;
    int lower;
    int upper;
    int value;
};

struct UI_FILE_ANSWER {
    BOOL bOk;
    std::wstring path;
};

class CScriptedBackEnd : public CUiBackEnd {
public:
    using Script = std::function<void(CScriptedBackEnd&)>;

    // Installs itself as the back end in use; the destructor puts the previous one back.
    CScriptedBackEnd();
    ~CScriptedBackEnd() override;

    // The next modal dialog runs this script once it is initialised; when the script returns
    // and the dialog is still open, the operator presses Esc (IDCANCEL). A dialog with no
    // script left is cancelled at once.
    void OnNextDialog(Script script) { m_scripts.push_back(std::move(script)); }

    // Answers for the boxes and file dialogs to come, taken in order. With none queued a
    // message box is answered IDOK and a file dialog is cancelled.
    void QueueMessageBoxAnswer(int nAnswer) { m_boxAnswers.push_back(nAnswer); }
    void QueueFileAnswer(BOOL bOk, const std::wstring& path) {
        m_fileAnswers.push_back({bOk, path});
    }

    // The operator, on the dialog now shown. Each returns FALSE when the control cannot take
    // the input or no dialog is shown.
    BOOL Click(WORD nID);
    BOOL Type(WORD nID, const std::wstring& text);
    BOOL Select(WORD nID, int nIndex); // -1: no entry selected
    BOOL Command(WORD nID);            // IDOK: the caption's OK button; IDCANCEL: Esc
    BOOL Key(UI_KEY key);              // the keyboard, on the control with the focus
    WORD GetFocusId() const;           // 0 when nothing has the focus

    // What the dialog now shown displays; empty values when there is no such control.
    BOOL IsShown() const { return m_pDialog != nullptr; }
    const CUiDialog* GetDialog() const { return m_pDialog; }
    const CUiControl* GetControl(WORD nID) const;
    std::wstring GetText(WORD nID) const;
    BOOL IsChecked(WORD nID) const;
    int GetCurSel(WORD nID) const;
    std::vector<std::wstring> GetItems(WORD nID) const;

    // Everything shown since the back end was made, in order.
    const std::vector<UI_EVENT>& GetEvents() const { return m_events; }
    // The texts that a control showed, in order.
    std::vector<std::wstring> GetTextHistory(WORD nID) const;
    std::vector<UI_EVENT> GetMessageBoxes() const;
    std::vector<UI_FILE_REQUEST> GetFileRequests() const { return m_fileRequests; }
    void ClearEvents() { m_events.clear(); }

    void RunModal(CUiDialog& dialog) override;
    void ControlChanged(CUiDialog& dialog, CUiControl& control) override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) override;
    BOOL ChooseFile(UI_FILE_REQUEST& request) override;

private:
    CUiDialog* m_pDialog = nullptr;
    CUiBackEnd* m_pPrevious = nullptr;
    std::deque<Script> m_scripts;
    std::deque<int> m_boxAnswers;
    std::deque<UI_FILE_ANSWER> m_fileAnswers;
    std::vector<UI_EVENT> m_events;
    std::vector<UI_FILE_REQUEST> m_fileRequests;
};
