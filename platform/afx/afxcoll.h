// MFC's CByteArray: a growable array of bytes with checked element access.
#pragma once

#include "windows.h"

#include <vector>

// Stops the program with a message naming the failed condition and where it stands. Element
// access outside an array ends here rather than touching memory that is not the array's.
[[noreturn]] void AfxAssertFailed(const char* condition, const char* file, int line);

#define AFX_CHECK(cond) ((cond) ? static_cast<void>(0) : AfxAssertFailed(#cond, __FILE__, __LINE__))

class CByteArray {
public:
    CByteArray() = default;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    // nGrowBy is MFC's growth hint; the storage grows geometrically whatever it says.
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
    void RemoveAll() { m_data.clear(); }

    BYTE GetAt(INT_PTR nIndex) const;
    void SetAt(INT_PTR nIndex, BYTE newElement);
    BYTE& ElementAt(INT_PTR nIndex);
    BYTE operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    BYTE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }

    INT_PTR Add(BYTE newElement);
    // Inserts nCount copies at nIndex; an index at or past the end grows the array to reach it.
    void InsertAt(INT_PTR nIndex, BYTE newElement, INT_PTR nCount = 1);
    // Removes nCount elements from nIndex; the range must lie inside the array.
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);

    const BYTE* GetData() const { return m_data.data(); }
    BYTE* GetData() { return m_data.data(); }

private:
    std::vector<BYTE> m_data;
};
