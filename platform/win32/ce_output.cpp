// Console and debugger output, and their sinks.
#include "conio.h"
#include "winbase.h"
#include "ce_output.h"
#include "wcrt.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <vector>

namespace ce {
namespace {

std::mutex g_sinksLock;
ConsoleSink g_console;
DebugSink g_debug;

void ToConsole(const std::string& text) {
    ConsoleSink sink;
    {
        std::lock_guard<std::mutex> hold(g_sinksLock);
        sink = g_console;
    }
    if (sink)
        sink(text);
    else
        WriteConsoleToStderr(text);
}

} // namespace

ConsoleSink SetConsoleSink(ConsoleSink sink) {
    std::lock_guard<std::mutex> hold(g_sinksLock);
    ConsoleSink previous = std::move(g_console);
    g_console = std::move(sink);
    return previous;
}

DebugSink SetDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> hold(g_sinksLock);
    DebugSink previous = std::move(g_debug);
    g_debug = std::move(sink);
    return previous;
}

void WriteConsoleToStderr(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void WriteDebugToStderr(const std::wstring& text) {
    std::string line = WideToUtf8(text);
    if (line.empty() || line.back() != '\n')
        line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

ScopedOutputCapture::ScopedOutputCapture()
    : m_previousConsole(SetConsoleSink([this](const std::string& text) { m_console += text; })),
      m_previousDebug(SetDebugSink([this](const std::wstring& text) { m_debug += text; })) {}

ScopedOutputCapture::~ScopedOutputCapture() {
    SetConsoleSink(std::move(m_previousConsole));
    SetDebugSink(std::move(m_previousDebug));
}

} // namespace ce

int _cprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return length;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    ce::ToConsole(std::string(text.data(), static_cast<size_t>(length)));
    return length;
}

void OutputDebugStringW(LPCWSTR lpOutputString) {
    if (!lpOutputString)
        return;
    ce::DebugSink sink;
    {
        std::lock_guard<std::mutex> hold(ce::g_sinksLock);
        sink = ce::g_debug;
    }
    if (sink)
        sink(lpOutputString);
    else
        ce::WriteDebugToStderr(lpOutputString);
}

// The device's debugger messages are short; a longer one is cut at 1023 characters.
void NKDbgPrintfW(LPCWSTR lpszFmt, ...) {
    if (!lpszFmt)
        return;
    wchar_t text[1024];
    va_list args;
    va_start(args, lpszFmt);
    const int length = std::vswprintf(text, sizeof text / sizeof text[0], lpszFmt, args);
    va_end(args);
    if (length < 0)
        text[sizeof text / sizeof text[0] - 1] = L'\0'; // too long: what fitted
    OutputDebugStringW(text);
}
