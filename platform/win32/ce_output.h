// Where console output (_cprintf, conio.h) and debugger output (OutputDebugStringW and
// NKDbgPrintfW, winbase.h) go. Both go to standard error unless a sink is set: a program
// whose screen is taken (the terminal dialog) sends them to a log file, a test captures them.
// Neither ever reaches the operator.
//
//     ce::ScopedOutputCapture output;
//     port.Open(6);
//     EXPECT_EQ(output.Console(), "Error SetupComm\n");
#pragma once

#include <functional>
#include <string>

namespace ce {

// Receives each piece of console text as written (narrow, no newline added).
using ConsoleSink = std::function<void(const std::string& text)>;
// Receives each debugger message as written (wide, no newline added).
using DebugSink = std::function<void(const std::wstring& text)>;

// Sets a sink and returns the one set before; an empty function restores standard error.
ConsoleSink SetConsoleSink(ConsoleSink sink);
DebugSink SetDebugSink(DebugSink sink);

// Both sinks routed to standard error: console text as it is, debugger messages as UTF-8,
// each on a line of its own.
void WriteConsoleToStderr(const std::string& text);
void WriteDebugToStderr(const std::wstring& text);

// Captures both outputs for its lifetime, then puts the previous sinks back.
class ScopedOutputCapture {
public:
    ScopedOutputCapture();
    ~ScopedOutputCapture();
    ScopedOutputCapture(const ScopedOutputCapture&) = delete;
    ScopedOutputCapture& operator=(const ScopedOutputCapture&) = delete;

    const std::string& Console() const { return m_console; }
    const std::wstring& Debug() const { return m_debug; }
    void Clear() {
        m_console.clear();
        m_debug.clear();
    }

private:
    std::string m_console;
    std::wstring m_debug;
    ConsoleSink m_previousConsole;
    DebugSink m_previousDebug;
};

} // namespace ce
