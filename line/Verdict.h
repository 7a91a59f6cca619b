// What a line's check says: passed, or which exit class refuses it and one line that names the
// file. The classes are the program's exit statuses of the same meaning.
#pragma once

#include <string>
#include <utility>

namespace line {

enum ExitClass : int {
    kPassed = 0,
    kUsageError = 2,   // a recipe that cannot be read or breaks a rule; a bad request
    kFileError = 3,    // the image cannot be read
    kNotApproved = 7,  // a signature, key, hash or station setting refuses it
    kJournalError = 8, // the serial pool is exhausted, or its journal cannot be opened or written
};

struct Verdict {
    int exitClass = kPassed;
    std::string message; // one line, naming the file; "" when passed

    bool Passed() const { return exitClass == kPassed; }
    static Verdict Pass() { return {}; }
    static Verdict Refuse(int exitClass, std::string message) {
        return {exitClass, std::move(message)};
    }
};

} // namespace line
