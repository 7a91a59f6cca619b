#include "platform/ui/UiLayout.h"

namespace {

int Down(long value, long divisor) {
    return static_cast<int>(value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor));
}

int Up(long value, long divisor) {
    return Down(value + divisor - 1, divisor);
}

} // namespace

UI_RECT MapDialogRect(short x, short y, short cx, short cy, int baseX, int baseY) {
    const long bx = baseX;
    const long by = baseY;
    return UI_RECT{Down(x * bx, 4), Down(y * by, 8), Up(cx * bx, 4), Up(cy * by, 8)};
}
