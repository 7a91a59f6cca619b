// The serial ports of this machine, as the kernel lists them in sysfs (/sys/class/tty), with
// the stable names udev gives them (/dev/serial/by-id, /dev/serial/by-path).
//
// Read from sysfs directly rather than through libudev: sysfs is the database libudev reads
// too, it needs no library (and no udev daemon, which containers often lack), and a test can
// give a fake tree of plain directories and links (host_roots.h).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ce {

struct SerialPort {
    std::string device;              // the node, e.g. /dev/ttyUSB0
    std::vector<std::string> byId;   // links in /dev/serial/by-id that lead to it
    std::vector<std::string> byPath; // links in /dev/serial/by-path that lead to it
    std::string driver;              // e.g. ftdi_sio, cp210x, cdc_acm, serial8250; "" unknown
    // USB identity, "" where the kernel gives none (vid and pid as 4 lower-case hex digits).
    std::string vid, pid, manufacturer, product, serial;
    // An FTDI adapter's latency timer: how long it holds received bytes before passing them on
    // (ms), and the sysfs file that sets it; -1 and "" where the driver has none.
    int latencyTimerMs = -1;
    std::string latencyTimerFile;
    bool hasUart = true; // false for a UART port whose type is unknown: no hardware behind it
    bool access = false; // this user may open it for reading and writing
    pid_t busyPid = 0;   // a process that holds it (0: none found), and its name
    std::string busyName;
    bool com6 = false; // COM6: opens this port now
};

// The ports with a device behind them, in natural order of their nodes (ttyS2 before ttyS10);
// pseudo-terminals and virtual consoles are never listed. UART ports with no hardware behind
// them are left out unless withoutUart.
std::vector<SerialPort> ListSerialPorts(bool withoutUart);

// What the port is, in a few words: "FTDI FT232R USB UART, serial A1B2C3", else its driver.
std::string DescribePort(const SerialPort& port);

// The name that stays with the port a path leads to across plug-ins and reboots: its
// /dev/serial/by-path link (where it is plugged in, which tells identical adapters apart),
// else its by-id link; "" when it has neither (a pty, a built-in UART).
std::string StableNameOf(const std::string& path);

// The file a path leads to, links resolved; the path itself when it does not resolve.
std::string ResolvedPath(const std::string& path);

} // namespace ce
