#include "cli/ProgressLine.h"

#include <algorithm>

CProgressLine::CProgressLine(std::FILE* stream, bool enabled) : m_stream(stream) {
    if (enabled)
        m_caps = host::ReadTerminalCaps(fileno(stream));
    m_enabled = enabled && !m_caps.carriageReturn.empty();
}

std::string CProgressLine::Erase() const {
    if (!m_caps.clearToEnd.empty())
        return m_caps.carriageReturn + m_caps.clearToEnd;
    if (m_width == 0)
        return m_caps.carriageReturn;
    return m_caps.carriageReturn + std::string(m_width, ' ') + m_caps.carriageReturn;
}

void CProgressLine::Update(int done, int total) {
    if (!m_enabled || total <= 0)
        return;
    if (done > total)
        done = total; // the last block is whole, the range may end inside it
    const auto now = std::chrono::steady_clock::now();
    if (total != m_total || done < m_done) {
        m_total = total;
        m_started = now; // a new range: a new update
    }
    if (done == m_done)
        return;
    m_done = done;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const double rate = seconds > 0 ? done / seconds : 0;
    char left[32] = "--:--";
    if (rate > 0) {
        const long remaining = static_cast<long>((total - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
    }
    char line[128];
    const int width =
        std::snprintf(line, sizeof line, "%3d%%  %d of %d bytes  %.0f B/s  %s left",
                      static_cast<int>(100.0 * done / total), done, total, rate, left);
    std::fprintf(m_stream, "%s%s", Erase().c_str(), line);
    m_width = width > 0 ? std::min(static_cast<size_t>(width), sizeof line - 1) : 0;
    std::fflush(m_stream);
    m_shown = true;
}

void CProgressLine::Clear() {
    if (!m_shown)
        return;
    std::fputs(Erase().c_str(), m_stream);
    std::fflush(m_stream);
    m_shown = false;
}
