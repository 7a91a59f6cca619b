// Several boards at once, one serial adapter each: one `korvane flash` process per port, each
// with its own protocol stack and port, as the system holds one of each per process. The
// parent only starts them, reads what they show and passes a Ctrl+C on.
#pragma once

#include "cli/FlashOptions.h"

#include <string>
#include <vector>

// Told, port by port (the index into the ports given), what each run shows.
class IGangObserver {
public:
    virtual void OnLine(size_t port, const std::string& text) = 0; // header, status, box
    virtual void OnProgress(size_t port, int done, int total) = 0;
    virtual void OnRecord(size_t port, const std::string& json) = 0;
    virtual void OnDiagnostic(size_t port, const std::string& line) = 0; // its standard error
    virtual void OnPortEnd(size_t port, int exitCode) = 0;

protected:
    ~IGangObserver() = default;
};

// Flashes the options' target and file through every port at once ("" stands for COM6: as the
// environment maps it) and returns each port's exit status, in the order given. A signal
// (SIGINT, SIGTERM, SIGHUP) is passed on to every run once; each then ends with its record written.
// serials, when given, holds each port's serial numbers ("v1,v2"), reserved by this process
// before any run starts; each run gets its own.
std::vector<int> RunGang(const FLASH_OPTIONS& options, const std::vector<std::string>& ports,
                         IGangObserver& observer,
                         const std::vector<std::string>* serials = nullptr);

// 0 when every port succeeded; otherwise the exit status of the first that failed, in the
// order given (EXIT_INTERRUPTED when the gang was interrupted).
int GangExitCode(const std::vector<int>& codes);

// A port's name as the operator reads it: the device, or "COM6:" for "".
std::string PortLabel(const std::string& port);

// One port's line on a screen: its name, the last text its run showed, the percentage.
struct GANG_ROW {
    std::string label;
    std::string text;
    int percent = -1; // none yet

    // Takes the progress bar's bytes; true when the percentage shown changes.
    bool SetProgress(int done, int total);
};

// A row for every port, in the order given.
std::vector<GANG_ROW> RowsFor(const std::vector<std::string>& ports);
