// The station's screen: the recipe in use (name, revision, signer and trusted comment), the
// image in use (name and the start of its SHA-256), the running
// counts and the yield, the board being flashed with each port's status and percentage, and
// the last board's PASS or FAIL, large, in green or red where the terminal has colours, with
// a bell on FAIL. Without a terminal (or on one that cannot clear its screen), the same as
// plain lines, one per event.
#pragma once

#include "cli/Gang.h"
#include "platform/host/terminal_caps.h"

#include <string>
#include <vector>

struct STATION_COUNTS {
    int boards = 0;
    int passed = 0;
    int failed = 0;
};

// The approved recipe a station runs, as its screen shows it.
struct STATION_RECIPE {
    std::string name, revision;
    std::string signer;         // the key id in hex; "" when unsigned
    std::string trustedComment; // as signed
};

class CStationView : public IGangObserver {
public:
    CStationView(const std::string& target, const std::vector<std::string>& ports, bool terminal);

    // The image as it stands now (read afresh before every board).
    void SetImage(const std::string& file, const std::string& sha256);
    // The recipe approved for the next board, and the target it names.
    void SetRecipe(const std::string& target, const STATION_RECIPE& recipe);
    // Waiting for the operator, or for the board's port to come or go.
    void Idle(const STATION_COUNTS& counts, const std::string& waitingFor);
    void BoardStarted(const STATION_COUNTS& counts);
    void BoardEnded(const STATION_COUNTS& counts, bool passed);

    void OnLine(size_t port, const std::string& text) override;
    void OnProgress(size_t port, int done, int total) override;
    void OnRecord(size_t port, const std::string& json) override;
    void OnDiagnostic(size_t port, const std::string& line) override;
    void OnPortEnd(size_t port, int exitCode) override;

private:
    void Draw();
    std::string Header() const;

    std::string m_target;
    std::vector<GANG_ROW> m_rows;
    bool m_terminal;
    host::TerminalCaps m_caps;
    std::string m_file, m_sha256;
    bool m_withRecipe = false;
    STATION_RECIPE m_recipe;
    STATION_COUNTS m_counts;
    enum { IDLE, FLASHING, ENDED } m_phase = IDLE;
    bool m_lastPassed = false;
    std::string m_waitingFor;
    std::vector<std::string> m_diagnostics; // the board's, for the screen
};
