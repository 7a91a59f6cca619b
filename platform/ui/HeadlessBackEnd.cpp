#include "platform/ui/HeadlessBackEnd.h"
#include "platform/ui/UiMessageBox.h"

CHeadlessBackEnd::CHeadlessBackEnd(IUiShowListener& listener)
    : m_listener(listener), m_pPrevious(UiSetBackEnd(this)) {}

CHeadlessBackEnd::~CHeadlessBackEnd() {
    if (UiGetBackEnd() == this)
        UiSetBackEnd(m_pPrevious);
}

void CHeadlessBackEnd::RunModal(CUiDialog& dialog) {
    if (!m_operators.empty()) {
        Operator work = std::move(m_operators.front());
        m_operators.pop_front();
        work(dialog);
    }
    if (!dialog.IsEnded())
        dialog.Command(IDCANCEL);
    if (!dialog.IsEnded())
        dialog.End(IDCANCEL);
}

void CHeadlessBackEnd::ControlChanged(CUiDialog& /*dialog*/, CUiControl& control) {
    m_listener.OnControlShown(control);
}

int CHeadlessBackEnd::MessageBox(const std::wstring& text, const std::wstring& /*caption*/,
                                 UINT nType) {
    m_listener.OnMessageBoxShown(text, nType);
    return UiMessageBoxButtons(nType).front().result;
}

BOOL CHeadlessBackEnd::ChooseFile(UI_FILE_REQUEST& /*request*/) {
    return FALSE;
}
