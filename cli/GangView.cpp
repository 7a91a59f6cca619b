#include "cli/GangView.h"
#include "cli/Output.h"

CGangView::CGangView(const std::vector<std::string>& ports, bool json, bool terminal)
    : m_rows(RowsFor(ports)), m_json(json), m_terminal(terminal && !json) {
    if (m_terminal)
        m_caps = host::ReadTerminalCaps(1);
    m_terminal = m_terminal && !m_caps.carriageReturn.empty() && !m_caps.clearToEnd.empty() &&
                 !m_caps.cursorUp.empty();
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
    if (!first && m_drawn)
        text += Up();
    for (const GANG_ROW& row : m_rows) {
        text += m_caps.carriageReturn + m_caps.clearToEnd + row.label + ": " + row.text;
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
    std::string text = Up();
    for (size_t i = 0; i < m_rows.size(); ++i)
        text += m_caps.carriageReturn + m_caps.clearToEnd + "\n";
    Out("%s%s", text.c_str(), Up().c_str());
    m_drawn = false;
}

std::string CGangView::Up() const {
    std::string up;
    for (size_t i = 0; i < m_rows.size(); ++i)
        up += m_caps.cursorUp;
    return up;
}
