// MFC's CString as a Windows CE program sees it: a string of wide characters.
#pragma once

#include "windows.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCWSTR psz) : m_str(psz ? psz : L"") {}
    CString(const std::wstring& str) : m_str(str) {}
    // Narrow text is taken as UTF-8, as text comes from this host.
    explicit CString(const char* psz);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    WCHAR GetAt(int nIndex) const;
    LPCWSTR GetString() const { return m_str.c_str(); }
    operator LPCWSTR() const { return m_str.c_str(); }

    CString& operator=(LPCWSTR psz);
    CString& operator+=(const CString& str);
    CString& operator+=(WCHAR ch);

    // Negative, zero or positive as this string sorts before, with or after the other.
    int Compare(LPCWSTR psz) const;
    int CompareNoCase(LPCWSTR psz) const;

    // printf-style formatting into the string, by the host's wide printf: "%d", "%u", "%x" and
    // "%ls" behave as everywhere; a "%s" takes a narrow string on this host.
    void Format(LPCWSTR pszFormat, ...);

    // The text as UTF-8, for the host's narrow interfaces.
    std::string ToUtf8() const;

private:
    std::wstring m_str;
};

CString operator+(const CString& left, const CString& right);
CString operator+(const CString& left, LPCWSTR right);
CString operator+(LPCWSTR left, const CString& right);

inline bool operator==(const CString& a, const CString& b) {
    return a.Compare(b) == 0;
}
inline bool operator==(const CString& a, LPCWSTR b) {
    return a.Compare(b) == 0;
}
inline bool operator==(LPCWSTR a, const CString& b) {
    return b.Compare(a) == 0;
}
inline bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
inline bool operator!=(const CString& a, LPCWSTR b) {
    return !(a == b);
}
inline bool operator!=(LPCWSTR a, const CString& b) {
    return !(a == b);
}
inline bool operator<(const CString& a, const CString& b) {
    return a.Compare(b) < 0;
}
