// Flashing without a screen: the dialog, shown through the headless back end, worked as an
// operator would (the target's radio button, the file field, the slave's list entry, then
// "Flash!" for each slave in turn), so the update and the wire traffic are the dialog's own.
#pragma once

#include "cli/FlashOptions.h"
#include "cli/FlashRecord.h"

#include <cstdint>
#include <string>
#include <vector>

// Told of each slave's update as it runs.
class IFlashObserver {
public:
    // Before the slave's update starts; the record holds what is known then.
    virtual void OnSlaveStart(const FLASH_RECORD& record) = 0;
    // A status text or a message box's text, as the dialog shows it.
    virtual void OnShown(const std::wstring& text) = 0;
    // The progress bar: bytes programmed of the total.
    virtual void OnProgress(int done, int total) = 0;
    // The slave's update ended; the record is whole.
    virtual void OnSlaveEnd(const FLASH_RECORD& record) = 0;

protected:
    ~IFlashObserver() = default;
};

// An approved recipe's image: the bytes approved, named by the recipe's image.
struct APPROVED_IMAGE {
    std::string file;           // the recipe's image, resolved against its folder
    std::vector<uint8_t> bytes; // read once and hashed by the approval
    RECIPE_RECORD recipe;
};

// Flashes options.file (or the approved image, when given) into every slave the options name,
// through the device behind COM6: now. Every slave is tried, even after one failed, but a failure
// of the file or the port ends the run at once. Returns the exit status of the first slave that
// failed, 0 when none did, EXIT_INTERRUPTED when a signal stopped the run. The port is released
// before it returns.
int RunHeadlessFlash(const FLASH_OPTIONS& options, IFlashObserver& observer,
                     const APPROVED_IMAGE* approved = nullptr);
