// What the last status text of an update means for a script: the exit status it stands for.
#pragma once

#include <string>

extern const wchar_t STATUS_UPDATE_SUCCEEDED[]; // "Update sucessfully completed"
extern const wchar_t STATUS_UPDATE_FAILED[];    // "Update failed! Error " and the status byte

// EXIT_UPDATED only for a completed update; every other text is a failure's code, and a text
// no table row knows (an update that stopped without saying why) is EXIT_UPDATE_FAILED.
int ExitCodeOfStatus(const std::wstring& status);

// Whether the failure would come again for every further slave (the file, the port).
bool FailsEverySlave(int exitCode);
