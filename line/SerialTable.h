// Reading a recipe's [serial] table (RecipeSerial.h) from its TOML node.
#pragma once

#include "line/RecipeSerial.h"
#include "line/TomlPlace.h"

namespace line {

// Refuses with exit class 2 and "FILE:LINE:COLUMN: what is wrong".
Verdict ParseSerialTable(const std::string& file, const toml::node& node, RecipeSerial* serial);

} // namespace line
