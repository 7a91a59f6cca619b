#include "platform/ui/UiProgress.h"

#include <algorithm>

int UiProgressFill(const CUiControl& bar, int length) {
    const long long range = static_cast<long long>(bar.GetUpper()) - bar.GetLower();
    const long long done = static_cast<long long>(bar.GetPos()) - bar.GetLower();
    const long long filled = range > 0 ? done * length / range : 0;
    return static_cast<int>(std::max(0LL, std::min<long long>(length, filled)));
}
