// SHA-256 of bytes in memory.
#pragma once

#include <string_view>
#include <string>

namespace line {

// 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace line
