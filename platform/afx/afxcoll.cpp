#include "afxcoll.h"

#include <cstdio>
#include <cstdlib>

void AfxAssertFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

void CByteArray::SetSize(INT_PTR nNewSize, INT_PTR /*nGrowBy*/) {
    AFX_CHECK(nNewSize >= 0);
    m_data.resize(static_cast<size_t>(nNewSize), 0);
}

BYTE CByteArray::GetAt(INT_PTR nIndex) const {
    AFX_CHECK(nIndex >= 0 && nIndex < GetSize());
    return m_data[static_cast<size_t>(nIndex)];
}

void CByteArray::SetAt(INT_PTR nIndex, BYTE newElement) {
    AFX_CHECK(nIndex >= 0 && nIndex < GetSize());
    m_data[static_cast<size_t>(nIndex)] = newElement;
}

BYTE& CByteArray::ElementAt(INT_PTR nIndex) {
    AFX_CHECK(nIndex >= 0 && nIndex < GetSize());
    return m_data[static_cast<size_t>(nIndex)];
}

INT_PTR CByteArray::Add(BYTE newElement) {
    m_data.push_back(newElement);
    return GetSize() - 1;
}

void CByteArray::InsertAt(INT_PTR nIndex, BYTE newElement, INT_PTR nCount) {
    AFX_CHECK(nIndex >= 0 && nCount >= 0);
    if (nIndex >= GetSize()) {
        m_data.resize(static_cast<size_t>(nIndex), 0);
        m_data.insert(m_data.end(), static_cast<size_t>(nCount), newElement);
        return;
    }
    m_data.insert(m_data.begin() + nIndex, static_cast<size_t>(nCount), newElement);
}

void CByteArray::RemoveAt(INT_PTR nIndex, INT_PTR nCount) {
    AFX_CHECK(nIndex >= 0 && nCount >= 0 && nIndex <= GetSize() && nCount <= GetSize() - nIndex);
    m_data.erase(m_data.begin() + nIndex, m_data.begin() + nIndex + nCount);
}
