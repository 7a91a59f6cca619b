// The progress of an update as one line on a terminal, redrawn in place: percentage, bytes
// programmed of the total, bytes per second and the time left. A terminal that cannot erase a
// line has it written over with spaces; one that cannot go back to the line's start gets none.
#pragma once

#include "platform/host/terminal_caps.h"

#include <chrono>
#include <cstdio>
#include <string>

class CProgressLine {
public:
    // Draws on `stream` (standard error) only when `enabled`.
    CProgressLine(std::FILE* stream, bool enabled);

    void Update(int done, int total);
    // Takes the line off the screen, so that other text can be written there.
    void Clear();

private:
    // Back to the line's start over what it showed, erased.
    std::string Erase() const;

    std::FILE* m_stream;
    host::TerminalCaps m_caps;
    bool m_enabled;
    bool m_shown = false;
    size_t m_width = 0; // of the line shown
    int m_total = -1;
    int m_done = -1;
    std::chrono::steady_clock::time_point m_started;
};
