#include "platform/ui/UiDialog.h"
#include "platform/ui/UiBackEnd.h"

#include <algorithm>
#include <cwctype>

CUiDialog::CUiDialog(const DLGRESOURCE& resource, IUiCommandSink& sink, CUiBackEnd& backEnd)
    : m_resource(resource), m_sink(sink), m_backEnd(backEnd),
      m_caption(resource.caption ? resource.caption : L"") {
    for (UINT i = 0; i < resource.itemCount; ++i)
        m_controls.push_back(std::make_unique<CUiControl>(*this, resource.items[i]));
}

CUiControl* CUiDialog::FindControl(WORD nID) const {
    for (const auto& control : m_controls) {
        if (control->GetId() == nID)
            return control.get();
    }
    return nullptr;
}

void CUiDialog::SetIcon(HICON hIcon, BOOL bBigIcon) {
    (bBigIcon ? m_hBigIcon : m_hSmallIcon) = hIcon;
}

void CUiDialog::End(int nResult) {
    m_bEnded = TRUE;
    m_nResult = nResult;
}

BOOL CUiDialog::Click(WORD nID) {
    CUiControl* control = FindControl(nID);
    if (!control)
        return FALSE;
    switch (control->GetKind()) {
    case UI_RADIOBUTTON:
        CheckRadioInGroup(*control);
        break;
    case UI_PUSHBUTTON:
        break;
    default:
        return FALSE;
    }
    m_sink.OnUiCommand(nID, BN_CLICKED);
    return TRUE;
}

// An auto radio button checks itself and unchecks the other radio buttons of its group: the
// controls from the last one with WS_GROUP at or before it up to the next one with WS_GROUP.
void CUiDialog::CheckRadioInGroup(CUiControl& clicked) {
    size_t at = 0;
    while (m_controls[at].get() != &clicked)
        ++at;
    size_t first = at;
    while (first > 0 && !(m_controls[first]->GetStyle() & WS_GROUP))
        --first;
    for (size_t i = first; i < m_controls.size(); ++i) {
        if (i > first && (m_controls[i]->GetStyle() & WS_GROUP))
            break;
        if (m_controls[i]->GetKind() == UI_RADIOBUTTON)
            m_controls[i]->SetCheck(i == at);
    }
}

BOOL CUiDialog::Type(WORD nID, const std::wstring& text) {
    CUiControl* control = FindControl(nID);
    if (!control || control->IsReadOnly())
        return FALSE;
    if (control->GetKind() == UI_EDIT) {
        control->SetText(text);
        return TRUE;
    }
    if (control->GetKind() == UI_COMBOBOX) {
        // Typing into the edit field of a drop-down list selects the entry that reads the
        // same (ignoring case), or none.
        int nMatch = -1;
        for (int i = 0; i < control->GetCount() && nMatch < 0; ++i) {
            const std::wstring& item = control->GetItem(i)->text;
            if (item.size() == text.size() &&
                std::equal(item.begin(), item.end(), text.begin(), [](wchar_t a, wchar_t b) {
                    return std::towlower(static_cast<wint_t>(a)) ==
                           std::towlower(static_cast<wint_t>(b));
                }))
                nMatch = i;
        }
        control->SetCurSel(nMatch);
        control->SetText(text);
        return TRUE;
    }
    return FALSE;
}

BOOL CUiDialog::Select(WORD nID, int nIndex) {
    CUiControl* control = FindControl(nID);
    if (!control || control->GetKind() != UI_COMBOBOX || nIndex < -1 ||
        nIndex >= control->GetCount())
        return FALSE;
    control->SetCurSel(nIndex);
    return TRUE;
}

void CUiDialog::Command(WORD nID) {
    m_sink.OnUiCommand(nID, BN_CLICKED);
}

void CUiDialog::ControlChanged(CUiControl& control) {
    m_backEnd.ControlChanged(*this, control);
}
