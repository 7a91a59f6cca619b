// The progress of an update as one line on a terminal, redrawn in place: percentage, bytes
// programmed of the total, bytes per second and the time left.
#pragma once

#include <chrono>
#include <cstdio>

class CProgressLine {
public:
    // Draws on `stream` (standard error) only when `enabled`.
    CProgressLine(std::FILE* stream, bool enabled) : m_stream(stream), m_enabled(enabled) {}

    void Update(int done, int total);
    // Takes the line off the screen, so that other text can be written there.
    void Clear();

private:
    std::FILE* m_stream;
    bool m_enabled;
    bool m_shown = false;
    int m_total = -1;
    int m_done = -1;
    std::chrono::steady_clock::time_point m_started;
};
