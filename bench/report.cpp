// Reading a million records as `korvane report` does: scanning each line's keys, grouping by
// image, port and hour, and sorting the times for the percentiles.
#include "line/Report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

// A million record lines as a line writes them: 3 images, 8 ports, 1 in 20 failed.
std::string MillionRecords() {
    std::string text;
    text.reserve(520u * 1000000u);
    char line[640];
    for (int i = 0; i < 1000000; ++i) {
        const bool passed = i % 20 != 0;
        std::snprintf(
            line, sizeof line,
            "{\"time\":\"2026-03-%02dT%02d:%02d:%02d.215Z\",\"host\":\"line3-jig\",\"korvane\":"
            "\"1.0.0\",\"port\":\"/dev/ttyUSB%d\",\"port_id\":\"/dev/serial/by-path/"
            "pci-0000:00:14.0-usb-0:%d:1.0-port0\",\"target\":\"Stepper\",\"slave\":20,\"file\":"
            "\"/srv/images/app-%d.hex\",\"file_bytes\":46091,\"file_sha256\":\"%064d\",\"start\":"
            "0,\"end\":16384,\"blocks\":128,\"exchanges\":132,\"retries\":%d,\"status\":%d,"
            "\"result\":\"%s\",\"exit\":%d,\"seconds\":%d.%03d,\"id\":"
            "\"5b0c8a7e-2f4d-4c1a-9e8b-%012d\",\"station\":\"line3-st1\"}\n",
            1 + i / 86400 % 28, i / 3600 % 24, i / 60 % 60, i % 60, i % 8, i % 8, i % 3, i % 3,
            i % 7 == 0, passed ? 0 : 5,
            passed ? "Update sucessfully completed" : "Update failed! Error 5", passed ? 0 : 1,
            17 + i % 5, i % 1000, i);
        text += line;
    }
    return text;
}

void ReadMillionRecords(benchmark::State& state) {
    static const std::string text = MillionRecords();
    for (auto _ : state) {
        line::LineReport report;
        line::AddRecordText(text, &report);
        report.Finish();
        benchmark::DoNotOptimize(report.all.boards);
        if (report.all.boards != 1000000)
            state.SkipWithError("not every record was read");
    }
    state.SetBytesProcessed(state.iterations() * text.size());
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(ReadMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
