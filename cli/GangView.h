// What a gang shows: on a terminal one line per port, redrawn in place (port, status text,
// percentage); elsewhere, and on a terminal that cannot move up and erase lines, every line of
// every run with its port before it.
#pragma once

#include "cli/Gang.h"
#include "platform/host/terminal_caps.h"

#include <cstdio>
#include <string>
#include <vector>

class CGangView : public IGangObserver {
public:
    // `json`: the records on standard output instead of the lines.
    CGangView(const std::vector<std::string>& ports, bool json, bool terminal);

    void OnLine(size_t port, const std::string& text) override;
    void OnProgress(size_t port, int done, int total) override;
    void OnRecord(size_t port, const std::string& json) override;
    void OnDiagnostic(size_t port, const std::string& line) override;
    void OnPortEnd(size_t port, int exitCode) override;

    // The last text each port showed.
    const std::string& LastText(size_t port) const { return m_rows[port].text; }
    // Whether a record meant for standard output (--json) did not arrive there.
    bool RecordLost() const { return m_recordLost; }

private:
    void Draw(bool first);
    void Undraw();
    // Back up over the rows drawn.
    std::string Up() const;

    std::vector<GANG_ROW> m_rows;
    host::TerminalCaps m_caps;
    bool m_json;
    bool m_terminal;
    bool m_drawn = false;
    bool m_recordLost = false;
};
