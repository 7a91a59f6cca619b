// The serial trace for maintainers: with CE_TRACE=<file> in the environment, every byte
// written and read on a serial port, every time-out, open and close is appended to that file,
// one line each, stamped with the clock's time in milliseconds, for example
//
//     [    5012.338] COM6: W 9 7E 01 13 02 00 03 00 1F 7E
//     [    5013.102] COM6: R 1 7E
//     [   10013.110] COM6: read time-out after 5000 ms, 0 of 1 bytes
//
// Without it nothing is traced and each serial call pays one test of a flag.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace ce {

extern std::atomic<bool> g_traceOn;

inline bool TraceOn() {
    return g_traceOn.load(std::memory_order_relaxed);
}

// Reads CE_TRACE the first time it is called (CreateFileW calls it).
void TraceStart();
// Traces to path from now on (nullptr or "" stops tracing); for tests and tools. Returns false
// when the file cannot be opened for appending.
bool SetTraceFile(const char* path);

void TraceLine(const std::string& port, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// "<port>: <direction> <done>/<asked> <hex bytes>", or "<done>" alone when they agree.
void TraceBytes(const std::string& port, const char* direction, const unsigned char* bytes,
                size_t done, size_t asked);

} // namespace ce
