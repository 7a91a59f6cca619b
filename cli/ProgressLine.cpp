#include "cli/ProgressLine.h"

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
    std::fprintf(m_stream, "\r\033[K%3d%%  %d of %d bytes  %.0f B/s  %s left",
                 static_cast<int>(100.0 * done / total), done, total, rate, left);
    std::fflush(m_stream);
    m_shown = true;
}

void CProgressLine::Clear() {
    if (!m_shown)
        return;
    std::fprintf(m_stream, "\r\033[K");
    std::fflush(m_stream);
    m_shown = false;
}
