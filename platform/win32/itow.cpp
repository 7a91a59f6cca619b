// _itow of the device's C runtime.
#include "wcrt.h"

wchar_t* _itow(int value, wchar_t* buffer, int radix) {
    if (!buffer)
        return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = L'\0';
        return buffer;
    }
    // As the device's runtime does: a minus sign in radix 10 only; in other radixes the
    // value's bits are written as unsigned.
    const bool negative = radix == 10 && value < 0;
    unsigned int magnitude =
        negative ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
    wchar_t digits[33];
    int count = 0;
    do {
        const unsigned int digit = magnitude % static_cast<unsigned int>(radix);
        digits[count++] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
        magnitude /= static_cast<unsigned int>(radix);
    } while (magnitude != 0);
    wchar_t* out = buffer;
    if (negative)
        *out++ = L'-';
    while (count > 0)
        *out++ = digits[--count];
    *out = L'\0';
    return buffer;
}
