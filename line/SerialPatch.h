// Writes a board's serial number into the approved image's bytes (Intel HEX text): the value's
// bytes replace those of the data records that hold its place, and those records' checksums are
// computed again. Every other character of the image stays as it was, so the board gets exactly
// the approved image with its own number in it.
#pragma once

#include "line/RecipeSerial.h"
#include "line/Verdict.h"

#include <string>

namespace line {

// Whether the image's data records hold every byte of the serial's place. unit is the target's
// bytes per address step (1 for OD, 2 for Stepper). Exit class 2 with the address's place in
// the recipe when they do not.
Verdict CheckSerialPlace(const std::string& image, unsigned unit, const RecipeSerial& serial);

// The image with value (SerialBytes) written at the serial's address, into *patched. Refuses as
// CheckSerialPlace does; *patched is then empty.
Verdict PatchSerial(const std::string& image, unsigned unit, const RecipeSerial& serial,
                    const std::string& value, std::string* patched);

} // namespace line
