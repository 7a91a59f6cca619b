// What the last status text of an update means for a script: the exit status it stands for.
#pragma once

#include <string>

// EXIT_UPDATED only for a completed update; every other text is a failure's code, and a text
// no table row knows (an update that stopped without saying why) is EXIT_UPDATE_FAILED.
int ExitCodeOfStatus(const std::wstring& status);

// The text that decided the exit status, as the record gives it: the box's text where a box
// named the failure and the status line does not ("Error Erasing" over "Erasing"), otherwise
// the final status text.
std::wstring DecidingText(const std::wstring& status);

// Whether the failure would come again for every further slave (the file, the port).
bool FailsEverySlave(int exitCode);

// "Update failed! Error ": what stands before the slave's status byte in a failed update's text.
std::wstring UpdateFailedPrefix();
