#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/FlashOptions.h"
#include "cli/FlashRecord.h"
#include "cli/HeadlessFlash.h"
#include "cli/ProgressLine.h"
#include "cli/Usage.h"

#include "afxstr.h"
#include "ce_output.h"
#include "platform/host/host.h"
#include "protocol/SlaveProtocol.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The human lines on standard output, or one JSON object per slave; the record file; the
// progress line on standard error.
class CFlashReport : public IFlashObserver {
public:
    CFlashReport(const FLASH_OPTIONS& options, host::AppendFile* record)
        : m_options(options), m_record(record),
          m_progress(stderr, !options.quiet && host::IsTerminal(2)) {}

    void OnSlaveStart(const FLASH_RECORD& record) override {
        if (m_options.json)
            return;
        if (record.od)
            std::printf("OD slave %u: %s\n", record.slave, record.file.c_str());
        else
            std::printf("Stepper slave 0x%02X: %s\n", record.slave, record.file.c_str());
        std::fflush(stdout);
    }
    void OnShown(const std::wstring& text) override {
        m_progress.Clear();
        if (m_options.json)
            return;
        std::printf("%s\n", CString(text).ToUtf8().c_str());
        std::fflush(stdout);
    }
    void OnProgress(int done, int total) override { m_progress.Update(done, total); }
    void OnSlaveEnd(const FLASH_RECORD& record) override {
        m_progress.Clear();
        const std::string json = RecordJson(record);
        std::string error;
        if (m_record && !m_record->Append(json, &error))
            std::fprintf(stderr, "korvane flash: %s: the record could not be written: %s\n",
                         m_options.record.c_str(), error.c_str());
        if (m_options.json) {
            std::printf("%s\n", json.c_str());
            std::fflush(stdout);
        }
        // The one line a script's log shows of a failure: what failed, and where.
        if (record.exit == EXIT_FILE)
            std::fprintf(stderr, "korvane flash: %s: %s\n", record.file.c_str(),
                         record.result.c_str());
        else if (record.exit == EXIT_PORT)
            std::fprintf(stderr, "korvane flash: COM6: %s%s%s\n", record.port.c_str(),
                         record.port.empty() ? "" : ": ", record.result.c_str());
        else if (record.exit != EXIT_UPDATED)
            std::fprintf(stderr, "korvane flash: %s slave %s: %s\n", record.od ? "OD" : "Stepper",
                         SlaveName(record).c_str(), record.result.c_str());
    }

    CProgressLine& Progress() { return m_progress; }

private:
    static std::string SlaveName(const FLASH_RECORD& record) {
        char text[8];
        std::snprintf(text, sizeof text, record.od ? "%u" : "0x%02X", record.slave);
        return text;
    }

    const FLASH_OPTIONS& m_options;
    host::AppendFile* m_record;
    CProgressLine m_progress;
};

} // namespace

int FlashCommand(int argc, char** argv) {
    FLASH_OPTIONS options;
    const std::string error = ParseFlashOptions(argc, argv, false, &options);
    if (!error.empty())
        return UsageError("flash", error.c_str());
    if (options.help) {
        std::printf("%s\n%s", FLASH_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    if (options.ports.size() > 1)
        return UsageError("flash", "one --port at a time");
    if (options.ports.size() == 1)
        setenv("CE_COM6", options.ports[0].c_str(), 1);

    host::AppendFile record;
    std::string why;
    if (!options.record.empty() && !record.Open(options.record, &why)) {
        const std::string what = "cannot append to the record file " + options.record + ": " + why;
        return UsageError("flash", what.c_str());
    }

    CFlashReport report(options, record.IsOpen() ? &record : nullptr);
    // The maintainer's lines go to standard error; the progress line makes room for them. The
    // dialog tries a port that did not open once more when "Flash!" is clicked: the reason the
    // port gives again, before any stack stands, is said once.
    std::string lastConsole;
    const ce::ConsoleSink oldConsole =
        ce::SetConsoleSink([&report, &lastConsole](const std::string& text) {
            if (g_slaveProtocol == nullptr && text == lastConsole)
                return;
            lastConsole = text;
            report.Progress().Clear();
            ce::WriteConsoleToStderr(text);
        });
    const ce::DebugSink oldDebug = ce::SetDebugSink([&report](const std::wstring& text) {
        report.Progress().Clear();
        ce::WriteDebugToStderr(text);
    });
    const int exitCode = RunHeadlessFlash(options, report);
    ce::SetConsoleSink(oldConsole);
    ce::SetDebugSink(oldDebug);
    if (exitCode == EXIT_INTERRUPTED)
        std::fprintf(stderr, "korvane flash: interrupted; the port is released\n");
    return exitCode;
}
