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

std::vector<CUiControl*> CUiDialog::GetTabOrder() const {
    std::vector<CUiControl*> order;
    for (const auto& control : m_controls) {
        if ((control->GetStyle() & WS_TABSTOP) || control->GetKind() == UI_RADIOBUTTON)
            order.push_back(control.get());
    }
    return order;
}

CUiControl* CUiDialog::GetFocus() const {
    const std::vector<CUiControl*> order = GetTabOrder();
    for (CUiControl* control : order) {
        if (control->GetId() == m_nFocusId)
            return control;
    }
    return order.empty() ? nullptr : order.front();
}

BOOL CUiDialog::SetFocus(WORD nID) {
    for (CUiControl* control : GetTabOrder()) {
        if (control->GetId() == nID) {
            m_nFocusId = nID;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CUiDialog::Key(UI_KEY key) {
    if (key == UI_KEY_ESCAPE) {
        Command(IDCANCEL);
        return TRUE;
    }
    const std::vector<CUiControl*> order = GetTabOrder();
    CUiControl* focus = GetFocus();
    if (!focus)
        return FALSE;
    switch (key) {
    case UI_KEY_TAB:
    case UI_KEY_BACKTAB: {
        const size_t n = order.size();
        size_t at =
            static_cast<size_t>(std::find(order.begin(), order.end(), focus) - order.begin());
        at = key == UI_KEY_TAB ? (at + 1) % n : (at + n - 1) % n;
        m_nFocusId = order[at]->GetId();
        return TRUE;
    }
    case UI_KEY_ACTIVATE:
        return Click(focus->GetId());
    case UI_KEY_UP:
    case UI_KEY_DOWN: {
        if (focus->GetKind() != UI_COMBOBOX || focus->GetCount() == 0)
            return FALSE;
        const int nSel = focus->GetCurSel();
        int nNew = key == UI_KEY_DOWN ? nSel + 1 : nSel - 1;
        if (nSel < 0)
            nNew = 0;
        if (nNew < 0 || nNew >= focus->GetCount())
            return FALSE;
        return Select(focus->GetId(), nNew);
    }
    default:
        return FALSE;
    }
}
