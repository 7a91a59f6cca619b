// Why a serial port did not open, in plain words for the person at the machine: what is
// missing and which ports there are, which group to join, who holds the port.
//
//     COM6: /dev/ttyS5 does not exist (CE_COM6 is not set). Serial ports here: /dev/ttyUSB0
//     (FTDI FT232R USB UART, serial A1B2C3). Use --port DEVICE or CE_COM6.
#pragma once

#include <string>

namespace ce {

// The reason (one line, no line break) why port ("COM6:") did not open path ("" when the port
// has no device at all). err is the errno of the open: ENOENT missing, EACCES refused,
// EWOULDBLOCK or EBUSY held by another, ENOTTY opened but no terminal; any other is told with
// the system's own message.
std::string PortOpenReason(const std::string& port, const std::string& path, int err);

} // namespace ce
