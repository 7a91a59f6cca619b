#include "cli/UpdateOutcome.h"
#include "cli/ExitCodes.h"

#include "app/FlashTexts.h"

namespace {

struct STATUS_EXIT {
    const wchar_t* status;
    int exitCode;
};

// An update whose erase failed keeps "Erasing" in its status line (the box said "Error
// Erasing").
const STATUS_EXIT s_finalStatuses[] = {
    {STATUS_UPDATE_DONE, EXIT_UPDATED}, {STATUS_OPEN_ERROR, EXIT_FILE},
    {STATUS_READ_ERROR, EXIT_FILE},     {STATUS_CHECKSUM_ERROR, EXIT_FILE},
    {STATUS_RANGE_ERROR, EXIT_FILE},    {STATUS_PORT_ERROR, EXIT_PORT},
    {STATUS_ERASING, EXIT_ERASE},       {STATUS_PROGRAM_ERROR, EXIT_PROGRAM},
};

} // namespace

int ExitCodeOfStatus(const std::wstring& status) {
    for (const STATUS_EXIT& entry : s_finalStatuses) {
        if (status == entry.status)
            return entry.exitCode;
    }
    return EXIT_UPDATE_FAILED;
}

bool FailsEverySlave(int exitCode) {
    return exitCode == EXIT_FILE || exitCode == EXIT_PORT;
}

std::wstring UpdateFailedPrefix() {
    const std::wstring format = FORMAT_UPDATE_FAILED;
    return format.substr(0, format.find(L'%'));
}
