// Where a TOML reader's complaint points: "FILE:LINE:COLUMN: what is wrong", as compilers say
// it, so that an editor can jump there.
#pragma once

#include <toml++/toml.h>

#include <string>

namespace line {

// The place of a node, or line 1 column 1 when the reader knows none (the whole document).
inline std::string Place(const std::string& file, const toml::source_region& region) {
    const unsigned lineNo = region.begin.line ? region.begin.line : 1;
    const unsigned column = region.begin.column ? region.begin.column : 1;
    return file + ":" + std::to_string(lineNo) + ":" + std::to_string(column) + ": ";
}

} // namespace line
