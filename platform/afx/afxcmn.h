// CProgressCtrl: a progress bar of a shown dialog. Its position stays within its range, as a
// Windows progress bar keeps it.
#pragma once

#include "afxwnd.h"

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    int GetPos() const;
    // Both return the previous position.
    int SetPos(int nPos);
    int OffsetPos(int nPos);
};
