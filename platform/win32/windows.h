// The Windows system types and constants that Korvane's code uses, on a POSIX host.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef int BOOL;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef LPCWSTR LPCTSTR;
typedef LPWSTR LPTSTR;
typedef WCHAR TCHAR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAXDWORD 0xffffffffu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD>(w) & 0xff))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD>(w) >> 8) & 0xff))

#ifndef _T
#define _T(x) L##x
#endif
#ifndef TEXT
#define TEXT(x) L##x
#endif

// The core services and wide C runtime routines, as the device's windows.h brings them in.
#include "winbase.h"
#include "synchapi.h"
#include "wcrt.h"
