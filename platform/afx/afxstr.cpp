#include "afxstr.h"
#include "afxcoll.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

std::wstring FromUtf8(const char* text) {
    std::wstring out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned long c = *p++;
        int more = 0;
        if (c >= 0xF0) {
            c &= 0x07;
            more = 3;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            more = 2;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            more = 1;
        }
        for (; more > 0 && (*p & 0xC0) == 0x80; --more)
            c = (c << 6) | (*p++ & 0x3F);
        out += static_cast<wchar_t>(more == 0 ? c : 0xFFFD);
    }
    return out;
}

} // namespace

CString::CString(const char* psz) : m_str(psz ? FromUtf8(psz) : std::wstring()) {}

WCHAR CString::GetAt(int nIndex) const {
    AFX_CHECK(nIndex >= 0 && nIndex < GetLength());
    return m_str[static_cast<size_t>(nIndex)];
}

CString& CString::operator=(LPCWSTR psz) {
    m_str = psz ? psz : L"";
    return *this;
}

CString& CString::operator+=(const CString& str) {
    m_str += str.m_str;
    return *this;
}

CString& CString::operator+=(WCHAR ch) {
    m_str += ch;
    return *this;
}

int CString::Compare(LPCWSTR psz) const {
    return std::wcscmp(m_str.c_str(), psz ? psz : L"");
}

int CString::CompareNoCase(LPCWSTR psz) const {
    const wchar_t* a = m_str.c_str();
    const wchar_t* b = psz ? psz : L"";
    for (;; ++a, ++b) {
        const wint_t ca = std::towlower(static_cast<wint_t>(*a));
        const wint_t cb = std::towlower(static_cast<wint_t>(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

void CString::Format(LPCWSTR pszFormat, ...) {
    // vswprintf reports a short buffer only as failure, so grow until the text fits; a format
    // that fails for another reason gives up at a bound and leaves the string empty.
    std::vector<wchar_t> buffer(128);
    for (;;) {
        va_list args;
        va_start(args, pszFormat);
        const int written = std::vswprintf(buffer.data(), buffer.size(), pszFormat, args);
        va_end(args);
        if (written >= 0) {
            m_str.assign(buffer.data(), static_cast<size_t>(written));
            return;
        }
        if (buffer.size() >= (1u << 20)) {
            m_str.clear();
            return;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string CString::ToUtf8() const {
    return WideToUtf8(m_str);
}

CString operator+(const CString& left, const CString& right) {
    CString out(left);
    out += right;
    return out;
}

CString operator+(const CString& left, LPCWSTR right) {
    return left + CString(right);
}
CString operator+(LPCWSTR left, const CString& right) {
    return CString(left) + right;
}
