// The terminal back end's log: while it owns the screen, the program's console and debugger
// output would garble the dialog, so it goes to a file instead, each line timestamped.
//
// The file is KORVANE_LOG when set, else $XDG_STATE_HOME/korvane/korvane.log (XDG_STATE_HOME
// defaults to ~/.local/state), else $XDG_RUNTIME_DIR/korvane.log; it is appended to, made
// readable by its owner only.
#pragma once

#include "platform/win32/ce_output.h"

#include <cstdio>
#include <mutex>
#include <string>

// The log file's path, as above; "" when none of those is set.
std::string TermLogPath();

class CTerminalLog {
public:
    // Opens the log and routes both outputs to it; when it cannot be opened, or is a symbolic
    // link, or no regular file, or another user's, the output is dropped (never shown) and
    // Error() says why.
    explicit CTerminalLog(const std::string& path);
    // Closes the log and routes both outputs back where they went before.
    ~CTerminalLog();
    CTerminalLog(const CTerminalLog&) = delete;
    CTerminalLog& operator=(const CTerminalLog&) = delete;

    const std::string& Path() const { return m_path; }
    bool IsOpen() const { return m_pFile != nullptr; }
    const std::string& Error() const { return m_error; }

private:
    static FILE* Open(const std::string& path, std::string* error);
    void Write(const std::string& text);

    std::string m_path;
    std::string m_error;
    FILE* m_pFile = nullptr;
    bool m_bLineStart = true;
    std::mutex m_lock;
    ce::ConsoleSink m_previousConsole;
    ce::DebugSink m_previousDebug;
};
