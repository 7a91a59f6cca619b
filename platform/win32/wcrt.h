// The wide-character routines of the device's C runtime that a POSIX C library lacks.
#pragma once

#include "windows.h"

// Writes value in the given radix (2 to 36) as wide digits, with a leading '-' for a
// negative value in radix 10, and a terminating zero; returns buffer. The buffer must hold
// 33 characters for any value.
wchar_t* _itow(int value, wchar_t* buffer, int radix);

#include <string>

// Wide text as UTF-8, whatever the process's locale: file names and logs are bytes on this host.
std::string WideToUtf8(const wchar_t* text, size_t length);
inline std::string WideToUtf8(const std::wstring& text) {
    return WideToUtf8(text.data(), text.size());
}
