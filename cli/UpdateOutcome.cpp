#include "cli/UpdateOutcome.h"
#include "cli/ExitCodes.h"

#include "app/FlashTexts.h"

namespace {

struct STATUS_EXIT {
    const wchar_t* status;
    int exitCode;
    const wchar_t* box; // the box that named the failure where the status line does not
};

// An update whose erase failed keeps "Erasing" in its status line; the box said "Error
// Erasing".
const STATUS_EXIT s_finalStatuses[] = {
    {STATUS_UPDATE_DONE, EXIT_UPDATED, nullptr},   {STATUS_OPEN_ERROR, EXIT_FILE, nullptr},
    {STATUS_READ_ERROR, EXIT_FILE, nullptr},       {STATUS_CHECKSUM_ERROR, EXIT_FILE, nullptr},
    {STATUS_RANGE_ERROR, EXIT_FILE, nullptr},      {STATUS_PORT_ERROR, EXIT_PORT, nullptr},
    {STATUS_ERASING, EXIT_ERASE, BOX_ERASE_ERROR}, {STATUS_PROGRAM_ERROR, EXIT_PROGRAM, nullptr},
};

const STATUS_EXIT* RowOf(const std::wstring& status) {
    for (const STATUS_EXIT& entry : s_finalStatuses) {
        if (status == entry.status)
            return &entry;
    }
    return nullptr;
}

} // namespace

int ExitCodeOfStatus(const std::wstring& status) {
    const STATUS_EXIT* row = RowOf(status);
    return row ? row->exitCode : EXIT_UPDATE_FAILED;
}

std::wstring DecidingText(const std::wstring& status) {
    const STATUS_EXIT* row = RowOf(status);
    return row && row->box ? row->box : status;
}

bool FailsEverySlave(int exitCode) {
    return exitCode == EXIT_FILE || exitCode == EXIT_PORT;
}

std::wstring UpdateFailedPrefix() {
    const std::wstring format = FORMAT_UPDATE_FAILED;
    return format.substr(0, format.find(L'%'));
}
