#include "cli/GangView.h"
#include "cli/Output.h"

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
        Out("%s: %s\n", m_rows[port].label.c_str(), text.c_str());
    }
}

void CGangView::OnProgress(size_t port, int done, int total) {
    if (m_rows[port].SetProgress(done, total) && m_terminal)
        Draw(false);
}

void CGangView::OnRecord(size_t /*port*/, const std::string& json) {
    if (!m_json)
        return;
    if (!OutLine(json))
        m_recordLost = true;
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
    std::string text;
    char line[64];
    if (!first && m_drawn) {
        std::snprintf(line, sizeof line, "\033[%zuA", m_rows.size());
        text += line;
    }
    for (const GANG_ROW& row : m_rows) {
        text += "\r\033[K" + row.label + ": " + row.text;
        if (row.percent >= 0) {
            std::snprintf(line, sizeof line, "  %d%%", row.percent);
            text += line;
        }
        text += "\n";
    }
    Out("%s", text.c_str());
    m_drawn = true;
}

void CGangView::Undraw() {
    if (!m_terminal || !m_drawn)
        return;
    char up[32];
    std::snprintf(up, sizeof up, "\033[%zuA", m_rows.size());
    std::string text = up;
    for (size_t i = 0; i < m_rows.size(); ++i)
        text += "\r\033[K\n";
    Out("%s%s", text.c_str(), up);
    m_drawn = false;
}
