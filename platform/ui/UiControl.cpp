#include "platform/ui/UiControl.h"
#include "platform/ui/UiDialog.h"

#include <cwchar>
#include <cwctype>

namespace {

UI_CONTROL_KIND KindOf(const DLGITEMRESOURCE& item) {
    const std::wstring name = item.className ? item.className : L"";
    auto is = [&name](const wchar_t* other) {
        if (name.size() != std::wcslen(other))
            return false;
        for (size_t i = 0; i < name.size(); ++i) {
            if (std::towlower(static_cast<wint_t>(name[i])) !=
                std::towlower(static_cast<wint_t>(other[i])))
                return false;
        }
        return true;
    };
    if (is(L"STATIC"))
        return UI_STATIC;
    if (is(L"EDIT"))
        return UI_EDIT;
    if (is(L"COMBOBOX"))
        return UI_COMBOBOX;
    if (is(L"msctls_progress32"))
        return UI_PROGRESS;
    if (is(L"BUTTON")) {
        const DWORD type = item.style & BS_TYPEMASK;
        if (type == BS_AUTORADIOBUTTON)
            return UI_RADIOBUTTON;
        if (type == BS_PUSHBUTTON || type == 1 /* BS_DEFPUSHBUTTON */)
            return UI_PUSHBUTTON;
    }
    return UI_UNKNOWN;
}

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t cb = std::towlower(static_cast<wint_t>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

CUiControl::CUiControl(CUiDialog& owner, const DLGITEMRESOURCE& item)
    : m_owner(owner), m_item(item), m_kind(KindOf(item)) {
    // A combo box's and a progress bar's window text is not what they show.
    if (m_kind != UI_COMBOBOX && m_kind != UI_PROGRESS && item.text)
        m_text = item.text;
}

BOOL CUiControl::IsReadOnly() const {
    return m_kind == UI_EDIT && (m_item.style & ES_READONLY) != 0;
}

void CUiControl::SetText(const std::wstring& text) {
    if (text == m_text)
        return;
    m_text = text;
    Changed();
}

void CUiControl::SetCheck(BOOL bChecked) {
    bChecked = bChecked ? TRUE : FALSE;
    if (bChecked == m_bChecked)
        return;
    m_bChecked = bChecked;
    Changed();
}

int CUiControl::AddString(const std::wstring& text) {
    size_t at = m_items.size();
    if (m_item.style & CBS_SORT) {
        at = 0;
        while (at < m_items.size() && CompareNoCase(m_items[at].text, text) <= 0)
            ++at;
    }
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), UI_COMBO_ITEM{text, 0});
    if (m_nCurSel >= static_cast<int>(at))
        ++m_nCurSel;
    Changed();
    return static_cast<int>(at);
}

const UI_COMBO_ITEM* CUiControl::GetItem(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return &m_items[static_cast<size_t>(nIndex)];
}

BOOL CUiControl::SetItemData(int nIndex, DWORD_PTR data) {
    if (nIndex < 0 || nIndex >= GetCount())
        return FALSE;
    m_items[static_cast<size_t>(nIndex)].data = data;
    return TRUE;
}

int CUiControl::SetCurSel(int nIndex) {
    const BOOL bValid = nIndex >= 0 && nIndex < GetCount();
    const int nNew = bValid ? nIndex : -1;
    const std::wstring text = bValid ? m_items[static_cast<size_t>(nIndex)].text : std::wstring();
    if (nNew != m_nCurSel || text != m_text) {
        m_nCurSel = nNew;
        m_text = text;
        Changed();
    }
    return bValid ? nIndex : -1;
}

int CUiControl::Clamp(int nPos) const {
    const int lo = m_nLower < m_nUpper ? m_nLower : m_nUpper;
    const int hi = m_nLower < m_nUpper ? m_nUpper : m_nLower;
    return nPos < lo ? lo : (nPos > hi ? hi : nPos);
}

void CUiControl::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
    m_nPos = Clamp(m_nPos);
    Changed();
}

int CUiControl::SetPos(int nPos) {
    const int nOld = m_nPos;
    m_nPos = Clamp(nPos);
    if (m_nPos != nOld)
        Changed();
    return nOld;
}

void CUiControl::Changed() {
    m_owner.ControlChanged(*this);
}
