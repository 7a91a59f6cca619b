// Arbitrary bytes as a record file read by `korvane report`: the key scanner must stay inside
// each line, whatever its quotes, escapes, nesting and numbers, and the page must be made.
#include "line/Report.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    line::LineReport report;
    line::AddRecordText(std::string(reinterpret_cast<const char*>(data), size), &report);
    report.Finish();
    const std::string page = line::ReportHtml(report) + line::ReportJson(report);
    return page.empty() ? 1 : 0;
}
