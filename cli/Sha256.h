// SHA-256 (FIPS 180-4), for the record's name of the image a board got.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The digest of `size` bytes at `data`, as 64 lower-case hex digits.
std::string Sha256Hex(const uint8_t* data, size_t size);
