#include "cli/CommandLine.h"
#include "cli/HeadlessFlash.h"
#include "cli/ExitCodes.h"
#include "cli/FlashImage.h"
#include "cli/StackRelease.h"
#include "cli/UpdateOutcome.h"

#include "afxapp.h"
#include "app/FlashTexts.h"
#include "afxstr.h"
#include "app/KorvaneRes.h"
#include "app/resource.h"
#include "platform/host/interrupt.h"
#include "ce_namespace.h"
#include "platform/host/serial_ports.h"
#include "line/RecordIdentity.h"
#include "platform/host/host.h"
#include "platform/ui/HeadlessBackEnd.h"
#include "protocol/FrameTransport.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

// What the transport has carried so far; zeros while there is no stack.
TRANSPORT_COUNTS CountsNow() {
    TRANSPORT_COUNTS counts = {0, 0};
    if (g_slaveProtocol != nullptr && g_slaveProtocol->GetTransport() != nullptr)
        counts = g_slaveProtocol->GetTransport()->GetCounts();
    return counts;
}

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

// The list entry an operator picks for a slave: the one whose text names it ("0x1C").
int EntryOf(const CUiControl& list, uint8_t slave) {
    wchar_t text[8];
    std::swprintf(text, 8, L"0x%02X", static_cast<unsigned>(slave));
    for (int i = 0; i < list.GetCount(); ++i) {
        if (SameNoCase(list.GetItem(i)->text, text))
            return i;
    }
    return -1;
}

// The radio button an operator clicks for the target: the one its name labels.
WORD RadioButtonOf(const CUiDialog& dialog, const TARGET_KIND& target) {
    const std::wstring name = CString(target.name).GetString();
    for (const auto& control : dialog.GetControls()) {
        if (control->GetText() == name)
            return control->GetId();
    }
    return 0;
}

// The slave's status byte, when the update read one: 0 for a success, N for "Update failed!
// Error N" after a GetStatus that answered.
std::optional<int64_t> StatusOf(const std::wstring& status) {
    if (status == STATUS_UPDATE_DONE)
        return 0;
    const std::wstring failed = UpdateFailedPrefix();
    const size_t prefix = failed.size();
    if (status.compare(0, prefix, failed) != 0 || g_slaveProtocol == nullptr ||
        g_slaveProtocol->GetLastStatusResult() != ERR_OK)
        return std::nullopt;
    return std::wcstol(status.c_str() + prefix, nullptr, 10);
}

// Passes on what the dialog shows: each new status text, each box's text, the progress bar.
class CShowRelay : public IUiShowListener {
public:
    explicit CShowRelay(IFlashObserver& observer) : m_observer(observer) {}

    void OnControlShown(const CUiControl& control) override {
        if (host::InterruptSignal())
            return; // what an interrupted update shows is no news
        if (control.GetId() == IDC_STATUS && control.GetText() != m_status) {
            m_status = control.GetText();
            m_observer.OnShown(m_status);
        } else if (control.GetId() == IDC_PROGRESS) {
            m_observer.OnProgress(control.GetPos() - control.GetLower(),
                                  control.GetUpper() - control.GetLower());
        }
    }
    void OnMessageBoxShown(const std::wstring& text, UINT /*nType*/) override {
        if (!host::InterruptSignal())
            m_observer.OnShown(text);
    }

    // A new update: its first status text is news even if the last one said the same.
    void Restart() { m_status.clear(); }

private:
    IFlashObserver& m_observer;
    std::wstring m_status;
};

} // namespace

int RunHeadlessFlash(const FLASH_OPTIONS& options, IFlashObserver& observer,
                     const APPROVED_IMAGE* approved, CSerialRun* serial,
                     const std::vector<std::string>* values) {
    host::CatchInterrupts();
    // The file is read once, before anything is sent; every slave gets these bytes. An
    // approved image is held as approved: the dialog never reads its file.
    CFlashImage image;
    std::string why;
    const std::string file = approved ? approved->file : options.file;
    const CFlashImage::READ read =
        approved ? image.Hold(file, approved->bytes, &why) : image.Read(file, &why);
    if (read == CFlashImage::READ_TOO_LARGE || (approved && read != CFlashImage::READ_OK)) {
        std::fprintf(stderr, "korvane flash: %s: %s\n", file.c_str(), why.c_str());
        return EXIT_FILE;
    }
    CShowRelay relay(observer);
    CHeadlessBackEnd backEnd(relay);
    int firstFailure = EXIT_UPDATED;
    size_t slavesGiven = 0; // the serial numbers handed to a slave so far

    backEnd.OnNextDialog([&](CUiDialog& dialog) {
        dialog.Click(RadioButtonOf(dialog, *options.target));
        dialog.Type(IDC_FILENAME, CString(image.DialogPath().c_str()).GetString());
        for (uint8_t slave : options.slaves) {
            if (host::InterruptSignal())
                break;
            FLASH_RECORD record;
            record.time = host::UtcNowIso8601();
            record.host = host::HostName();
            record.id = line::NewRecordId();
            record.station = line::StationName(record.host);
            record.port = SlavePortPath();
            const std::string stableName = ce::StableNameOf(record.port);
            if (!stableName.empty())
                record.portId = stableName;
            record.target = options.target;
            record.slave = slave;
            record.file = file;
            if (approved)
                record.recipe = approved->recipe;
            image.Describe(*options.target, &record);
            // A target of one slave has no list to pick from; the dialog addresses it alone.
            if (options.target->slaveCount > 1 &&
                !dialog.Select(IDC_SLAVE_ADDRESS,
                               EntryOf(*dialog.FindControl(IDC_SLAVE_ADDRESS), slave))) {
                // The dialog offers no such entry: nothing to click for it, and no success.
                std::fprintf(stderr, "korvane flash: the dialog lists no slave 0x%02X\n", slave);
                firstFailure = firstFailure == EXIT_UPDATED ? EXIT_UPDATE_FAILED : firstFailure;
                break;
            }
            if (serial != nullptr) {
                // This slave's own number in the bytes it gets; nothing else of them changes.
                if (image.Hold(file, serial->Patched((*values)[slavesGiven]), &why) !=
                    CFlashImage::READ_OK) {
                    std::fprintf(stderr, "korvane flash: %s: %s\n", file.c_str(), why.c_str());
                    firstFailure = firstFailure == EXIT_UPDATED ? EXIT_FILE : firstFailure;
                    break;
                }
                dialog.Type(IDC_FILENAME, CString(image.DialogPath().c_str()).GetString());
                image.Describe(*options.target, &record);
            }
            const std::string* value = serial ? &(*values)[slavesGiven++] : nullptr;
            observer.OnSlaveStart(record);

            relay.Restart();
            const TRANSPORT_COUNTS before = CountsNow();
            const auto started = std::chrono::steady_clock::now();
            dialog.Click(IDC_FLASH);
            const TRANSPORT_COUNTS after = CountsNow();
            record.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            record.exchanges = after.dwRequests - before.dwRequests;
            record.retries = after.dwRetries - before.dwRetries;

            const std::wstring status = dialog.FindControl(IDC_STATUS)->GetText();
            if (host::InterruptSignal()) {
                record.result = "interrupted";
                record.exit = EXIT_INTERRUPTED;
            } else {
                record.result = CString(DecidingText(status)).ToUtf8();
                record.exit = ExitCodeOfStatus(status);
                record.status = StatusOf(status);
            }
            // The outcome is in the journal before any record says it.
            const bool journalServes = value == nullptr || serial->Settle(*value, &record);
            observer.OnSlaveEnd(record);
            if (!journalServes) {
                firstFailure = EXIT_JOURNAL;
                break;
            }
            if (record.exit != EXIT_UPDATED && firstFailure == EXIT_UPDATED)
                firstFailure = record.exit;
            if (FailsEverySlave(record.exit) || record.exit == EXIT_INTERRUPTED)
                break;
        }
    });
    AfxWinMain(&g_korvaneModule, nullptr, nullptr, SW_SHOW);
    ReleaseProtocolStack();
    if (serial != nullptr && slavesGiven < values->size())
        serial->Release(std::vector<std::string>(values->begin() + slavesGiven, values->end()),
                        false);
    if (host::InterruptSignal())
        return EXIT_INTERRUPTED;
    return firstFailure;
}
