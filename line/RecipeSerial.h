// A recipe's [serial] table: each board gets a number of its own, written into the image's bytes
// before they are flashed.
//
//     [serial]
//     pool = "od-main"      # numbers are unique within a pool, whatever recipe draws from it
//     address = 0x7FF0      # in the target's unit as the HEX file counts (words for Stepper)
//     bytes = 4             # 1 to 16
//     format = "le"         # "le", "be" (binary) or "ascii" (decimal digits, zero-padded)
//     first = 100000        # a counter: first, last, step (1 by default) ...
//     last = 199999
//     list = "macs.txt"     # ... or a list: one hex value of exactly `bytes` bytes a line
//     list_sha256 = "..."   # the list is pinned like the image
//     on_failure = "void"   # or "reuse": a board that never saw a Program hands its number back
#pragma once

#include "line/Verdict.h"

#include <cstdint>
#include <string>
#include <vector>

namespace line {

enum class SerialFormat { LittleEndian, BigEndian, Ascii };

struct RecipeSerial {
    bool present = false;
    std::string pool;
    unsigned address = 0; // in the target's unit
    unsigned bytes = 0;
    SerialFormat format = SerialFormat::LittleEndian;
    bool isList = false;
    uint64_t first = 0, last = 0, step = 1; // a counter
    std::string list;                       // a list, as written in the recipe
    std::string listPath;                   // resolved against the recipe's folder
    std::string listSha256;
    std::vector<std::string> values; // the list's values (lower-case hex), once ReadSerialList ran
    bool reuse = false;              // on_failure = "reuse"
    std::string addressPlace;        // "FILE:LINE:COLUMN: " of the address, for later refusals
};

// Reads the list of a list serial into serial->values: exit class 3 when it cannot be read, 7
// when its hash differs, 2 with "FILE:LINE:COLUMN: ..." for a line that is not one new value of
// exactly `bytes` bytes in hex. Nothing to do for a counter.
Verdict ReadSerialList(RecipeSerial* serial);

// The journal's text of a value: a counter's decimal number, a list's hex.
std::string CounterText(uint64_t number);

// The bytes written at the address for the value's text (as the journal keeps it).
std::string SerialBytes(const RecipeSerial& serial, const std::string& valueText);

} // namespace line
