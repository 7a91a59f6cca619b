#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Usage.h"

#include "line/Report.h"
#include "line/StationFile.h"
#include "platform/host/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

// Reads a record file (standard input for "-") into the report a few MiB at a time, whole
// lines each time: a file of a million records needs no half a gigabyte of memory.
bool ReadRecords(const std::string& file, line::LineReport* report) {
    std::ifstream named;
    if (file != "-") {
        named.open(file, std::ios::binary);
        if (!named)
            return false;
    }
    std::istream& in = file == "-" ? std::cin : named;
    std::string buffer;
    const size_t chunk = 4 << 20;
    for (;;) {
        const size_t kept = buffer.size();
        buffer.resize(kept + chunk);
        in.read(&buffer[kept], chunk);
        buffer.resize(kept + static_cast<size_t>(in.gcount()));
        if (in.bad())
            return false;
        if (!in) { // the end: the last line, too, even without its line break
            line::AddRecordText(buffer, report);
            return true;
        }
        const size_t end = buffer.rfind('\n');
        if (end == std::string::npos)
            continue;
        line::AddRecordText(buffer.substr(0, end + 1), report);
        buffer.erase(0, end + 1);
    }
}

} // namespace

int ReportCommand(int argc, char** argv) {
    const int OPTION_JSON = 0x200, OPTION_HTML = 0x201;
    const option known[] = {HELP_OPTION,
                            {"json", no_argument, nullptr, OPTION_JSON},
                            {"html", required_argument, nullptr, OPTION_HTML},
                            {}};
    bool json = false, help = false;
    std::string html;
    std::vector<std::string> files;
    const std::string what = ReadOptions(
        argc, argv, known,
        [&](int id, const std::string& value) {
            if (id == 'h')
                help = true;
            else if (id == OPTION_JSON)
                json = true;
            else
                html = value;
            return std::string();
        },
        &files);
    if (!what.empty())
        return UsageError("report", what.c_str());
    if (help) {
        Out("%s", REPORT_USAGE);
        return EXIT_UPDATED;
    }
    if (files.empty()) {
        line::StationSettings station;
        line::LoadStation(line::kSystemStationFile, std::getenv(line::kStationFileVariable),
                          host::CurrentUser(), &station);
        files.push_back(line::RecordFileOf(station));
    }
    line::LineReport report;
    for (const std::string& file : files) {
        if (!ReadRecords(file, &report)) {
            std::fprintf(stderr, "korvane report: %s cannot be read\n", file.c_str());
            return EXIT_UPDATE_FAILED;
        }
    }
    report.Finish();
    if (!html.empty()) {
        std::ofstream out(html, std::ios::binary | std::ios::trunc);
        out << line::ReportHtml(report);
        if (!out.flush()) {
            std::fprintf(stderr, "korvane report: %s cannot be written\n", html.c_str());
            return EXIT_UPDATE_FAILED;
        }
    }
    const std::string text = json ? line::ReportJson(report) + "\n" : line::ReportText(report);
    Out("%s", text.c_str());
    return EXIT_UPDATED;
}
