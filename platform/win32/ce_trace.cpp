// The CE_TRACE file.
#include "ce_trace.h"
#include "ce_clock.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace ce {

std::atomic<bool> g_traceOn{false};

namespace {

std::mutex g_traceLock;
FILE* g_traceFile = nullptr;

void WriteStamp() {
    const uint64_t us = NowUs();
    std::fprintf(g_traceFile, "[%8llu.%03llu] ", static_cast<unsigned long long>(us / 1000),
                 static_cast<unsigned long long>(us % 1000));
}

} // namespace

bool SetTraceFile(const char* path) {
    std::lock_guard<std::mutex> hold(g_traceLock);
    if (g_traceFile) {
        std::fclose(g_traceFile);
        g_traceFile = nullptr;
    }
    g_traceOn = false;
    if (path == nullptr || *path == '\0')
        return true;
    g_traceFile = std::fopen(path, "ae");
    if (!g_traceFile)
        return false;
    // The wall-clock time once, so that the clock's milliseconds can be placed in the day.
    const time_t now = time(nullptr);
    tm utc;
    gmtime_r(&now, &utc);
    char when[32];
    strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::fprintf(g_traceFile, "# serial trace started %s, clock at %llu ms\n", when,
                 static_cast<unsigned long long>(NowMs()));
    std::fflush(g_traceFile);
    g_traceOn = true;
    return true;
}

void TraceStart() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* path = std::getenv("CE_TRACE");
        if (path && *path && !SetTraceFile(path))
            std::fprintf(stderr, "CE_TRACE: cannot append to %s\n", path);
    });
}

void TraceLine(const std::string& port, const char* format, ...) {
    std::lock_guard<std::mutex> hold(g_traceLock);
    if (!g_traceFile)
        return;
    WriteStamp();
    std::fprintf(g_traceFile, "%s ", port.c_str());
    va_list args;
    va_start(args, format);
    std::vfprintf(g_traceFile, format, args);
    va_end(args);
    std::fputc('\n', g_traceFile);
    std::fflush(g_traceFile); // a crash or a kill keeps what was traced
}

void TraceBytes(const std::string& port, const char* direction, const unsigned char* bytes,
                size_t done, size_t asked) {
    std::lock_guard<std::mutex> hold(g_traceLock);
    if (!g_traceFile)
        return;
    WriteStamp();
    if (done == asked)
        std::fprintf(g_traceFile, "%s %s %zu", port.c_str(), direction, done);
    else
        std::fprintf(g_traceFile, "%s %s %zu/%zu", port.c_str(), direction, done, asked);
    for (size_t i = 0; i < done; ++i)
        std::fprintf(g_traceFile, " %02X", bytes[i]);
    std::fputc('\n', g_traceFile);
    std::fflush(g_traceFile);
}

} // namespace ce
