#include "afxcmn.h"

#include "platform/ui/UiControl.h"

#include <climits>

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    if (CUiControl* control = GetUiControl())
        control->SetRange(nLower, nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    const CUiControl* control = GetUiControl();
    nLower = control ? control->GetLower() : 0;
    nUpper = control ? control->GetUpper() : 0;
}

int CProgressCtrl::GetPos() const {
    const CUiControl* control = GetUiControl();
    return control ? control->GetPos() : 0;
}

int CProgressCtrl::SetPos(int nPos) {
    CUiControl* control = GetUiControl();
    return control ? control->SetPos(nPos) : 0;
}

int CProgressCtrl::OffsetPos(int nPos) {
    CUiControl* control = GetUiControl();
    if (!control)
        return 0;
    // The sum is taken wide: the control clamps it into its range anyway.
    long long nNew = static_cast<long long>(control->GetPos()) + nPos;
    nNew = nNew > INT_MAX ? INT_MAX : (nNew < INT_MIN ? INT_MIN : nNew);
    return control->SetPos(static_cast<int>(nNew));
}
