// The programmed memory of a slave as Intel HEX, addressed as the slave counts (bytes for OD,
// 16-bit words for Stepper, as in the files the host flashes), so a test can load it beside the
// image it flashed and compare. Only bytes programmed since their last erase are written;
// whatever else is erased (0xFF) or was never touched.
#pragma once

#include "sim/SlaveSet.h"

#include <string>
#include <vector>

namespace ksim {

// Data records of up to 16 bytes over the programmed runs, then the end-of-file record.
std::string IntelHex(const SlaveMemory& memory);

// The file name of a slave's dump: "slave-01.hex", "slave-14.hex", ...
std::string DumpName(uint8_t address);

// Writes a dump for every slave that an Erase or a Program reached. Names of the files written
// go to `written`; on a failure, `error` says which and why.
bool WriteHexDumps(const std::string& dir, const SlaveSet& slaves,
                   std::vector<std::string>* written, std::string* error);

} // namespace ksim
