// Console output of the device: printf-style narrow text. It goes to the console sink
// (standard error unless replaced, see platform/win32/ce_output.h), never to the operator.
#pragma once

int _cprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
