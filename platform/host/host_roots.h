// Where the host's device database (/sys), device nodes (/dev) and process table (/proc) are
// read from. All three lie below KORVANE_HOST_ROOT when it is set (a directory holding sys/,
// dev/ and proc/, for tests that give a fake tree), else below /.
//
//     KORVANE_HOST_ROOT=/tmp/tree korvane ports   # reads /tmp/tree/sys/class/tty, ...
#pragma once

#include <string>

namespace ce {

std::string SysRoot();  // "/sys", or $KORVANE_HOST_ROOT/sys
std::string DevRoot();  // "/dev", or $KORVANE_HOST_ROOT/dev
std::string ProcRoot(); // "/proc", or $KORVANE_HOST_ROOT/proc

} // namespace ce
