#include "cli/GangView.h"

CGangView::CGangView(const std::vector<std::string>& ports, bool json, bool terminal)
    : m_rows(RowsFor(ports)), m_json(json), m_terminal(terminal && !json) {
    if (m_terminal)
        Draw(true);
}

void CGangView::OnLine(size_t port, const std::string& text) {
    m_rows[port].text = text;
    if (m_terminal) {
        Draw(false);
    } else if (!m_json) {
        std::printf("%s: %s\n", m_rows[port].label.c_str(), text.c_str());
        std::fflush(stdout);
    }
}

void CGangView::OnProgress(size_t port, int done, int total) {
    if (m_rows[port].SetProgress(done, total) && m_terminal)
        Draw(false);
}

void CGangView::OnRecord(size_t /*port*/, const std::string& json) {
    if (!m_json)
        return;
    std::printf("%s\n", json.c_str());
    std::fflush(stdout);
}

void CGangView::OnDiagnostic(size_t port, const std::string& line) {
    Undraw();
    std::fprintf(stderr, "%s: %s\n", m_rows[port].label.c_str(), line.c_str());
    std::fflush(stderr);
    if (m_terminal)
        Draw(true);
}

void CGangView::OnPortEnd(size_t /*port*/, int /*exitCode*/) {}

// The rows stand at the bottom of the terminal's text; each redraw goes back up over them.
void CGangView::Draw(bool first) {
    if (!first && m_drawn)
        std::printf("\033[%zuA", m_rows.size());
    for (const GANG_ROW& row : m_rows) {
        std::printf("\r\033[K%s: %s", row.label.c_str(), row.text.c_str());
        if (row.percent >= 0)
            std::printf("  %d%%", row.percent);
        std::printf("\n");
    }
    std::fflush(stdout);
    m_drawn = true;
}

void CGangView::Undraw() {
    if (!m_terminal || !m_drawn)
        return;
    std::printf("\033[%zuA", m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        std::printf("\r\033[K\n");
    std::printf("\033[%zuA", m_rows.size());
    std::fflush(stdout);
    m_drawn = false;
}
