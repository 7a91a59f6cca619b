#include "platform/ui/ScriptedBackEnd.h"

CScriptedBackEnd::CScriptedBackEnd() : m_pPrevious(UiSetBackEnd(this)) {}

CScriptedBackEnd::~CScriptedBackEnd() {
    if (UiGetBackEnd() == this)
        UiSetBackEnd(m_pPrevious);
}

void CScriptedBackEnd::RunModal(CUiDialog& dialog) {
    CUiDialog* pOuter = m_pDialog;
    m_pDialog = &dialog;
    if (!m_scripts.empty()) {
        Script script = std::move(m_scripts.front());
        m_scripts.pop_front();
        script(*this);
    }
    if (!dialog.IsEnded())
        dialog.Command(IDCANCEL);
    // A dialog that refuses Cancel would otherwise never return to the test.
    if (!dialog.IsEnded())
        dialog.End(IDCANCEL);
    m_pDialog = pOuter;
}

BOOL CScriptedBackEnd::Click(WORD nID) {
    return m_pDialog && m_pDialog->Click(nID);
}

BOOL CScriptedBackEnd::Type(WORD nID, const std::wstring& text) {
    return m_pDialog && m_pDialog->Type(nID, text);
}

BOOL CScriptedBackEnd::Select(WORD nID, int nIndex) {
    return m_pDialog && m_pDialog->Select(nID, nIndex);
}

BOOL CScriptedBackEnd::Command(WORD nID) {
    if (!m_pDialog)
        return FALSE;
    m_pDialog->Command(nID);
    return TRUE;
}

BOOL CScriptedBackEnd::Key(UI_KEY key) {
    return m_pDialog && m_pDialog->Key(key);
}

WORD CScriptedBackEnd::GetFocusId() const {
    const CUiControl* focus = m_pDialog ? m_pDialog->GetFocus() : nullptr;
    return focus ? focus->GetId() : 0;
}

const CUiControl* CScriptedBackEnd::GetControl(WORD nID) const {
    return m_pDialog ? m_pDialog->FindControl(nID) : nullptr;
}

std::wstring CScriptedBackEnd::GetText(WORD nID) const {
    const CUiControl* control = GetControl(nID);
    return control ? control->GetText() : std::wstring();
}

BOOL CScriptedBackEnd::IsChecked(WORD nID) const {
    const CUiControl* control = GetControl(nID);
    return control && control->GetCheck();
}

int CScriptedBackEnd::GetCurSel(WORD nID) const {
    const CUiControl* control = GetControl(nID);
    return control ? control->GetCurSel() : -1;
}

std::vector<std::wstring> CScriptedBackEnd::GetItems(WORD nID) const {
    std::vector<std::wstring> items;
    if (const CUiControl* control = GetControl(nID)) {
        for (int i = 0; i < control->GetCount(); ++i)
            items.push_back(control->GetItem(i)->text);
    }
    return items;
}

std::vector<std::wstring> CScriptedBackEnd::GetTextHistory(WORD nID) const {
    std::vector<std::wstring> texts;
    for (const UI_EVENT& event : m_events) {
        if (event.kind == UI_EVENT_TEXT && event.id == nID)
            texts.push_back(event.text);
    }
    return texts;
}

std::vector<UI_EVENT> CScriptedBackEnd::GetMessageBoxes() const {
    std::vector<UI_EVENT> boxes;
    for (const UI_EVENT& event : m_events) {
        if (event.kind == UI_EVENT_MESSAGEBOX)
            boxes.push_back(event);
    }
    return boxes;
}

void CScriptedBackEnd::ControlChanged(CUiDialog& /*dialog*/, CUiControl& control) {
    UI_EVENT event{UI_EVENT_TEXT, control.GetId(), control.GetText(), L"", 0, 0, 0, 0};
    switch (control.GetKind()) {
    case UI_RADIOBUTTON:
        event.kind = UI_EVENT_CHECK;
        event.value = control.GetCheck() ? 1 : 0;
        break;
    case UI_COMBOBOX:
        event.kind = UI_EVENT_LIST;
        event.value = control.GetCurSel();
        break;
    case UI_PROGRESS:
        event.kind = UI_EVENT_PROGRESS;
        event.lower = control.GetLower();
        event.upper = control.GetUpper();
        event.value = control.GetPos();
        break;
    default:
        break;
    }
    m_events.push_back(event);
}

int CScriptedBackEnd::MessageBox(const std::wstring& text, const std::wstring& caption,
                                 UINT nType) {
    m_events.push_back(UI_EVENT{UI_EVENT_MESSAGEBOX, 0, text, caption, nType, 0, 0, 0});
    if (m_boxAnswers.empty())
        return IDOK;
    const int nAnswer = m_boxAnswers.front();
    m_boxAnswers.pop_front();
    return nAnswer;
}

BOOL CScriptedBackEnd::ChooseFile(UI_FILE_REQUEST& request) {
    m_fileRequests.push_back(request);
    m_events.push_back(UI_EVENT{UI_EVENT_FILEDIALOG, 0, request.fileName, L"", 0, 0, 0, 0});
    if (m_fileAnswers.empty())
        return FALSE;
    const UI_FILE_ANSWER answer = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    if (!answer.bOk)
        return FALSE;
    request.fileName = answer.path;
    return TRUE;
}
