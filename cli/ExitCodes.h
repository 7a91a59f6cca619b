// The exit status of every command, one table. A failure never exits 0.
//
// Each row gives the code, the constant's name (EXIT_<ID>), a short name and the meaning that
// `korvane --help` prints. The manual page's EXIT STATUS lists the same rows (a test compares
// them); a new code is one row here and one entry there.
#pragma once

#define KORVANE_EXIT_CODES(ROW)                                                                    \
    ROW(0, UPDATED, "updated", "Every slave ended with \"Update sucessfully completed\".")         \
    ROW(1, UPDATE_FAILED, "failed",                                                                \
        "\"Update failed! Error N\": GetStatus failed, or the slave's status is not 0. "           \
        "(scan: no slave answered; station: a board failed.)")                                     \
    ROW(2, USAGE, "usage",                                                                         \
        "An unknown option, no target or two, an address outside the five, no FILE, a "            \
        "record file that cannot be appended to, a recipe that cannot be read or breaks a rule.")  \
    ROW(3, FILE, "file",                                                                           \
        "The file: \"Error opening file\", \"Error reading file\", \"Checksum error\", "           \
        "\"Address out of range\"; a recipe's image that cannot be read.")                         \
    ROW(4, PORT, "port", "The port: \"Error opening port\".")                                      \
    ROW(5, ERASE, "erase", "\"Error Erasing\".")                                                   \
    ROW(6, PROGRAM, "program", "\"Programming error\".")                                           \
    ROW(7, NOT_APPROVED, "not-approved",                                                           \
        "A recipe's signature missing or not verifying, its key not trusted here, its image's "    \
        "hash not the recipe's; a free flash, an unsigned recipe or the dialog on a station "      \
        "that runs approved recipes only; a station file or key folder that is not trusted.")      \
    ROW(130, INTERRUPTED, "interrupted", "Interrupted by SIGINT, SIGTERM or SIGHUP.")

#define KORVANE_EXIT_CONSTANT(code, id, name, meaning) inline constexpr int EXIT_##id = code;
KORVANE_EXIT_CODES(KORVANE_EXIT_CONSTANT)
#undef KORVANE_EXIT_CONSTANT

struct EXIT_CODE {
    int code;
    const char* name;
    const char* meaning;
};

#define KORVANE_EXIT_ROW(code, id, name, meaning) {code, name, meaning},
inline constexpr EXIT_CODE EXIT_CODES[] = {KORVANE_EXIT_CODES(KORVANE_EXIT_ROW)};
#undef KORVANE_EXIT_ROW
