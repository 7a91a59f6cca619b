// `korvane report`: what a line lead asks of record files. Per image (file name and short
// hash) and per port: boards, passed, failed, yield, retries per thousand exchanges, the median
// and 90th percentile of a board's seconds; boards per hour over the span; yield per hour; and
// the ports whose retry rate is five times the median of the others' (a sick adapter or cable).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace line {

struct BoardStats {
    int64_t boards = 0, passed = 0, failed = 0;
    int64_t exchanges = 0, retries = 0;
    std::vector<float> seconds;

    double Yield() const { return boards ? double(passed) / boards : 0; }
    double RetriesPerThousand() const { return exchanges ? 1000.0 * retries / exchanges : 0; }
    double Percentile(double p) const; // nearest rank, of the sorted seconds
    void Add(bool passedBoard, int64_t exchangesMade, int64_t retriesMade, double secondsTaken);
};

struct LineReport {
    BoardStats all;
    std::map<std::string, BoardStats> images; // "Application.hex 9f2c1a2b3c4d"
    std::map<std::string, BoardStats> ports;  // port_id, else port
    std::map<std::string, BoardStats> hours;  // "2026-03-02T09"
    std::vector<std::string> flaggedPorts;
    double firstStart = 0, lastEnd = 0; // seconds since 1970, of the span's ends
    int64_t skipped = 0;                // lines that are no record

    // The groups of the record before, so that a run of records of one image, port or hour
    // finds its stats without a look-up.
    struct Last {
        std::string file, sha, port, hour; // as written in the record
        BoardStats *imageStats = nullptr, *portStats = nullptr, *hourStats = nullptr;
    } last;

    double BoardsPerHour() const;
    // Sorts the seconds and flags the ports; call once every record is in.
    void Finish();
};

// Adds one record line to the report; false (and counts it skipped) when it is no record.
bool AddRecordLine(const char* text, size_t length, LineReport* report);

// Adds every line of bytes (a record file's contents).
void AddRecordText(const std::string& bytes, LineReport* report);

std::string ReportText(const LineReport& report);
std::string ReportJson(const LineReport& report);
// One self-contained page: tables and inline SVG, no scripts.
std::string ReportHtml(const LineReport& report);

} // namespace line
