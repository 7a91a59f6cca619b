#include "cli/Output.h"
#include "cli/StationView.h"

#include <cstdio>
#include <cstring>

namespace {

// Five rows of block letters, each letter four cells and a gap.
const char* const kBig[][5] = {
    {"#### ", "#  # ", "#### ", "#    ", "#    "}, // P
    {" ##  ", "#  # ", "#### ", "#  # ", "#  # "}, // A
    {" ### ", "#    ", " ##  ", "   # ", "###  "}, // S
    {"#### ", "#    ", "###  ", "#    ", "#    "}, // F
    {" ### ", "  #  ", "  #  ", "  #  ", " ### "}, // I
    {"#    ", "#    ", "#    ", "#    ", "#### "}, // L
};

int BigIndex(char letter) {
    const char* const letters = "PASFIL";
    return static_cast<int>(std::strchr(letters, letter) - letters);
}

std::string BigRow(const char* word, int row) {
    std::string line;
    for (const char* c = word; *c; ++c) {
        for (const char* cell = kBig[BigIndex(*c)][row]; *cell; ++cell)
            line += *cell == '#' ? "\u2588\u2588" : "  ";
    }
    return line;
}

std::string Yield(const STATION_COUNTS& counts) {
    if (counts.passed + counts.failed == 0)
        return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%",
                  100.0 * counts.passed / (counts.passed + counts.failed));
    return text;
}

} // namespace

CStationView::CStationView(const std::string& target, const std::vector<std::string>& ports,
                           bool terminal)
    : m_target(target), m_rows(RowsFor(ports)), m_terminal(terminal) {
    if (terminal)
        m_caps = host::ReadTerminalCaps(1);
    m_terminal = terminal && !m_caps.clearScreen.empty();
}

void CStationView::SetImage(const std::string& file, const std::string& sha256) {
    m_file = file;
    m_sha256 = sha256;
}

void CStationView::SetRecipe(const std::string& target, const STATION_RECIPE& recipe) {
    m_target = target;
    m_withRecipe = true;
    m_recipe = recipe;
}

std::string CStationView::Header() const {
    std::string ports;
    for (const GANG_ROW& row : m_rows)
        ports += (ports.empty() ? "" : ", ") + row.label;
    // A recipe's image hash is shown whole, on a line of its own (it fills 64 columns), to
    // be compared with what the recipe pins.
    const std::string sha = m_sha256.empty() ? "cannot be read"
                            : m_withRecipe   ? "\n  sha256 " + m_sha256
                                             : "sha256 " + m_sha256.substr(0, 12);
    // What a recipe or a signature holds is shown only made printable: it comes from files.
    std::string recipe;
    if (m_withRecipe)
        recipe =
            "\nRecipe: " + Printable(m_recipe.name) + "  revision " + Printable(m_recipe.revision) +
            (m_recipe.signer.empty()
                 ? "  unsigned"
                 : "  signed by " + m_recipe.signer + ": " + Printable(m_recipe.trustedComment));
    return "Korvane station: " + m_target + " on " + ports + recipe +
           "\nImage: " + Printable(m_file) + "  " + sha + "\nBoards " +
           std::to_string(m_counts.boards) + "   passed " + std::to_string(m_counts.passed) +
           "   failed " + std::to_string(m_counts.failed) + "   yield " + Yield(m_counts) + "\n";
}

void CStationView::Idle(const STATION_COUNTS& counts, const std::string& waitingFor) {
    m_counts = counts;
    m_waitingFor = waitingFor;
    if (m_terminal)
        Draw();
    else
        Out("%s%s\n", Header().c_str(), waitingFor.c_str());
}

void CStationView::BoardStarted(const STATION_COUNTS& counts) {
    m_counts = counts;
    m_phase = FLASHING;
    m_waitingFor = "Flashing; Ctrl+C stops it";
    m_diagnostics.clear();
    for (GANG_ROW& row : m_rows) {
        row.text.clear();
        row.percent = -1;
    }
    if (m_terminal)
        Draw();
    else
        Out("Board %d: flashing\n", counts.boards);
}

void CStationView::BoardEnded(const STATION_COUNTS& counts, bool passed) {
    m_counts = counts;
    m_phase = ENDED;
    m_lastPassed = passed;
    if (m_terminal)
        Draw();
    else
        Out("Board %d: %s\n", counts.boards, passed ? "PASS" : "FAIL");
    if (!passed)
        Out("%s", m_caps.alert.c_str());
}

void CStationView::OnLine(size_t port, const std::string& text) {
    m_rows[port].text = text;
    if (m_terminal)
        Draw();
    else
        Out("%s: %s\n", m_rows[port].label.c_str(), text.c_str());
}

void CStationView::OnProgress(size_t port, int done, int total) {
    if (m_rows[port].SetProgress(done, total) && m_terminal) {
        Draw();
    }
}

void CStationView::OnRecord(size_t /*port*/, const std::string& /*json*/) {}

void CStationView::OnDiagnostic(size_t port, const std::string& line) {
    const std::string text = m_rows[port].label + ": " + line;
    if (!m_terminal) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    m_diagnostics.push_back(text);
    if (m_diagnostics.size() > 4)
        m_diagnostics.erase(m_diagnostics.begin());
    Draw();
}

void CStationView::OnPortEnd(size_t /*port*/, int /*exitCode*/) {}

// The whole screen, from its top, every time: what it shows is little, and an operator looks
// at it from across the room.
void CStationView::Draw() {
    Out("%s%s\n", m_caps.clearScreen.c_str(), Header().c_str());
    if (m_phase == FLASHING) {
        Out("Board %d: flashing\n", m_counts.boards);
    } else if (m_phase == ENDED) {
        const char* word = m_lastPassed ? "PASS" : "FAIL";
        // Empty where the terminal has no colours.
        const std::string& colour = m_lastPassed ? m_caps.green : m_caps.red;
        if (!colour.empty())
            Out("%s%s", m_caps.bold.c_str(), colour.c_str());
        for (int row = 0; row < 5; ++row)
            Out("  %s\n", BigRow(word, row).c_str());
        if (!colour.empty())
            Out("%s", m_caps.plain.c_str());
        Out("\nBoard %d: %s\n", m_counts.boards, word);
    }
    if (m_phase != IDLE) {
        for (const GANG_ROW& row : m_rows) {
            Out("  %s: %s", row.label.c_str(), row.text.c_str());
            if (row.percent >= 0 && m_phase == FLASHING)
                Out("  %d%%", row.percent);
            Out("\n");
        }
        for (const std::string& line : m_diagnostics)
            Out("  %s\n", line.c_str());
    }
    Out("\n%s\n", m_waitingFor.c_str());
}
