#include "platform/ui/WindowScale.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

double g_scale = 1.0;
BOOL g_bFullScreen = FALSE;

// The whole text as a finite number; false for "", "2x", "nan" and the like.
bool ReadNumber(const char* text, double* pValue) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value))
        return false;
    *pValue = value;
    return true;
}

} // namespace

double WinScaleFromDpi(const char* dpi) {
    double value = 0;
    if (!ReadNumber(dpi, &value) || value <= 0)
        return 0;
    return std::clamp(value / 96.0, kWinMinScale, kWinMaxScale);
}

double WinScaleFromSetting(const char* value, std::string* pWhy) {
    if (!value || !*value)
        return 0;
    double scale = 0;
    if (ReadNumber(value, &scale) && scale >= kWinMinScale && scale <= kWinMaxScale)
        return scale;
    if (pWhy)
        *pWhy = std::string("KORVANE_SCALE=\"") + value +
                "\" is not a scale from 1 to 4; the window is drawn at scale 1";
    return 1.0;
}

double WinChooseScale(const char* dpi, const char* setting, std::string* pWhy) {
    if (const double scale = WinScaleFromDpi(dpi))
        return scale;
    if (const double scale = WinScaleFromSetting(setting, pWhy))
        return scale;
    return 1.0;
}

void WinSetScale(double scale) {
    g_scale = std::clamp(scale, kWinMinScale, kWinMaxScale);
}

double WinScale() {
    return g_scale;
}

int WinScaled(int pixels) {
    return std::max(1, static_cast<int>(std::lround(pixels * g_scale)));
}

void WinSetFullScreen(BOOL bFullScreen) {
    g_bFullScreen = bFullScreen;
}

BOOL WinFullScreen() {
    return g_bFullScreen;
}
