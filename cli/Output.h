// Standard output as the commands write it. A write that fails there (a pipe whose reader
// went away, a full disk) never stops a run: the update goes on to its end and its record is
// written. The first failure is said once on standard error; later text to standard output is
// dropped.
#pragma once

#include <string>

// Writes printf-style text to standard output and flushes it. false when it did not arrive,
// now or at an earlier write.
bool Out(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes the line and a line break.
bool OutLine(const std::string& line);
// Whether a write to standard output has failed.
bool StdoutLost();

// Text from a file (a recipe's name, a signature's trusted comment) made safe to show: control
// characters, C0, DEL and C1 (U+0080 to U+009F), become \xNN or \u00NN, so that nobody can
// move the cursor, clear the screen or forge a line through them.
std::string Printable(const std::string& text);
