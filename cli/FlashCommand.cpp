#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/FlashOptions.h"
#include "cli/FlashRecord.h"
#include "cli/Gang.h"
#include "cli/GangView.h"
#include "cli/GangProtocol.h"
#include "cli/HeadlessFlash.h"
#include "cli/Output.h"
#include "cli/ProgressLine.h"
#include "cli/RecipeRun.h"
#include "cli/SerialRun.h"
#include "cli/Usage.h"

#include "afxstr.h"
#include "ce_output.h"
#include "platform/host/host.h"
#include "protocol/SlaveProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

// The human lines on standard output, or one JSON object per slave; the record file; the
// progress line on standard error. A run of a gang tags all of them for its parent instead.
class CFlashReport : public IFlashObserver {
public:
    CFlashReport(const FLASH_OPTIONS& options, host::AppendFile* record)
        : m_options(options), m_record(record), m_gangChild(std::getenv(GANG_CHILD_VARIABLE)),
          m_progress(stderr, !options.quiet && !m_gangChild && host::IsTerminal(2)) {}

    void OnSlaveStart(const FLASH_RECORD& record) override {
        m_sentPercent = -1;
        Line(SlaveName(record) + ": " + record.file);
    }
    void OnShown(const std::wstring& text) override { Line(CString(text).ToUtf8()); }
    void OnProgress(int done, int total) override {
        if (m_gangChild) {
            const int percent = GangPercent(done, total);
            if (percent != m_sentPercent)
                Tagged(GANG_TAG_PROGRESS, std::to_string(done) + " " + std::to_string(total));
            m_sentPercent = percent;
        } else
            m_progress.Update(done, total);
    }
    void OnSlaveEnd(const FLASH_RECORD& record) override {
        m_progress.Clear();
        const std::string json = RecordJson(record);
        std::string error;
        if (m_record && !m_record->Append(json, &error)) {
            m_recordLost = true;
            std::fprintf(stderr, "korvane flash: %s: the record could not be written: %s\n",
                         m_options.record.c_str(), error.c_str());
        }
        if (m_gangChild)
            Tagged(GANG_TAG_RECORD, json);
        else if (m_options.json && !OutLine(json))
            m_recordLost = true; // standard output carries the records: one lost is lost
        // The one line a script's log shows of a failure: what failed, and where.
        if (record.exit == EXIT_FILE)
            std::fprintf(stderr, "korvane flash: %s: %s\n", record.file.c_str(),
                         record.result.c_str());
        else if (record.exit == EXIT_PORT)
            std::fprintf(stderr, "korvane flash: %s %s%s%s\n", SlavePortText().c_str(),
                         record.port.c_str(), record.port.empty() ? "" : ": ",
                         record.result.c_str());
        else if (record.exit != EXIT_UPDATED)
            std::fprintf(stderr, "korvane flash: %s: %s\n", SlaveName(record).c_str(),
                         record.result.c_str());
    }

    CProgressLine& Progress() { return m_progress; }
    // A board whose record is lost (in the record file, or on standard output with --json) is
    // no success, whatever the board did.
    bool RecordLost() const { return m_recordLost; }

private:
    void Line(std::string text) {
        for (char& c : text) {
            if (static_cast<unsigned char>(c) < 0x20)
                c = '?'; // a file name's line break must not make a line of its own
        }
        m_progress.Clear();
        if (m_gangChild)
            Tagged(GANG_TAG_LINE, text);
        else if (!m_options.json)
            OutLine(text);
    }
    static void Tagged(char tag, const std::string& text) {
        OutLine(std::string(1, tag) + " " + text);
    }
    // "OD slave 1", "Stepper slave 0x1C".
    static std::string SlaveName(const FLASH_RECORD& record) {
        return std::string(record.target->name) + " slave " +
               record.target->SlaveText(record.slave);
    }

    const FLASH_OPTIONS& m_options;
    host::AppendFile* m_record;
    const bool m_gangChild;
    CProgressLine m_progress;
    bool m_recordLost = false;
    int m_sentPercent = -1; // the last progress a gang's parent was sent, in its percents
};

} // namespace

int FlashCommand(int argc, char** argv) {
    FLASH_OPTIONS options;
    host::AppendFile record;
    const int prepared = PrepareFlashRun(argc, argv, false, &options, &record);
    if (prepared >= 0)
        return prepared;
    // A recipe is approved before anything is sent; the run then flashes exactly the bytes
    // approved. A gang's runs each approve it again: its pinned hash keeps their bytes the same.
    APPROVED_IMAGE approved;
    line::Approval approval;
    CSerialRun serial;
    if (!options.recipe.empty()) {
        approval = ApproveHere(options.recipe, options.allowUnsigned);
        if (!approval.verdict.Passed())
            return SayRefused("flash", approval.verdict);
        TakeRecipeTarget(approval.recipe, &options);
        approved = ApprovedImageOf(approval);
        const int refused = serial.Open("flash", &approval, *options.target);
        if (refused >= 0)
            return refused;
    }
    if (options.ports.size() > 1) {
        // The numbers of every port are reserved before any run starts: all, or nothing sent.
        std::vector<std::string> byPort, all;
        if (serial.Active()) {
            const int refused =
                ReserveForGang(serial, options.ports.size(), options.slaves.size(), &byPort, &all);
            if (refused >= 0)
                return refused;
        }
        CGangView view(options.ports, options.json, host::IsTerminal(1));
        const int code = GangExitCode(
            RunGang(options, options.ports, view, serial.Active() ? &byPort : nullptr));
        // A run that died before committing its outcome leaves its number void.
        if (serial.Active())
            serial.Release(all, true);
        return code == EXIT_UPDATED && view.RecordLost() ? EXIT_UPDATE_FAILED : code;
    }
    std::vector<std::string> values;
    if (serial.Active()) {
        const char* given =
            std::getenv(GANG_CHILD_VARIABLE) ? std::getenv(SERIAL_VALUES_VARIABLE) : nullptr;
        const int refused = given ? serial.TakeGiven(given, options.slaves.size(), &values)
                                  : serial.Reserve(options.slaves.size(), &values);
        if (refused >= 0)
            return refused;
    }
    if (options.ports.size() == 1)
        UsePort(options.ports[0]);

    CFlashReport report(options, record.IsOpen() ? &record : nullptr);
    // The maintainer's lines go to standard error; the progress line makes room for them. The
    // dialog tries a port that did not open once more when "Flash!" is clicked: the reason the
    // port gives again, before any stack stands, is said once.
    std::set<std::string> saidBeforeTheStack;
    const ce::ConsoleSink oldConsole =
        ce::SetConsoleSink([&report, &saidBeforeTheStack](const std::string& text) {
            const bool stackStands =
                g_slaveProtocol != nullptr && g_slaveProtocol->GetTransport() != nullptr;
            if (!stackStands && !saidBeforeTheStack.insert(text).second)
                return;
            report.Progress().Clear();
            ce::WriteConsoleToStderr(text);
        });
    const ce::DebugSink oldDebug = ce::SetDebugSink([&report](const std::wstring& text) {
        report.Progress().Clear();
        ce::WriteDebugToStderr(text);
    });
    int exitCode = RunHeadlessFlash(options, report, options.recipe.empty() ? nullptr : &approved,
                                    serial.Active() ? &serial : nullptr, &values);
    if (exitCode == EXIT_UPDATED && report.RecordLost())
        exitCode = EXIT_UPDATE_FAILED;
    ce::SetConsoleSink(oldConsole);
    ce::SetDebugSink(oldDebug);
    if (exitCode == EXIT_INTERRUPTED)
        std::fprintf(stderr, "korvane flash: interrupted; the port is released\n");
    return exitCode;
}
