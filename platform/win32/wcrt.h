// The wide-character routines of the device's C runtime that a POSIX C library lacks.
#pragma once

#include "windows.h"

// Writes value in the given radix (2 to 36) as wide digits, with a leading '-' for a
// negative value in radix 10, and a terminating zero; returns buffer. The buffer must hold
// 33 characters for any value.
wchar_t* _itow(int value, wchar_t* buffer, int radix);
