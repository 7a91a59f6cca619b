#include "cli/UpdateOutcome.h"
#include "cli/ExitCodes.h"

const wchar_t STATUS_UPDATE_SUCCEEDED[] = L"Update sucessfully completed";
const wchar_t STATUS_UPDATE_FAILED[] = L"Update failed! Error ";

namespace {

struct STATUS_EXIT {
    const wchar_t* status;
    int exitCode;
};

// An update whose erase failed keeps "Erasing" in its status line (the box said "Error
// Erasing").
const STATUS_EXIT s_finalStatuses[] = {
    {STATUS_UPDATE_SUCCEEDED, EXIT_UPDATED},
    {L"Error opening file", EXIT_FILE},
    {L"Error reading file", EXIT_FILE},
    {L"Checksum error", EXIT_FILE},
    {L"Address out of range", EXIT_FILE},
    {L"Error opening port", EXIT_PORT},
    {L"Erasing", EXIT_ERASE},
    {L"Programming error", EXIT_PROGRAM},
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
