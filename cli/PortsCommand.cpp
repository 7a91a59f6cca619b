// korvane ports [--all] [--json]: the serial ports of this machine, one line (or one JSON
// object) each, with the one COM6: opens marked.
#include "cli/Output.h"
#include "cli/Commands.h"
#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Usage.h"

#include "ce_namespace.h"
#include "platform/host/serial_ports.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// What the host does not know is null.
Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

std::string JsonPort(const ce::SerialPort& port) {
    Json json;
    json["device"] = port.device;
    json["by_id"] = port.byId;
    json["by_path"] = port.byPath;
    json["driver"] = TextOrNull(port.driver);
    json["vid"] = TextOrNull(port.vid);
    json["pid"] = TextOrNull(port.pid);
    json["manufacturer"] = TextOrNull(port.manufacturer);
    json["product"] = TextOrNull(port.product);
    json["serial"] = TextOrNull(port.serial);
    json["access"] = port.access;
    json["busy_pid"] = port.busyPid > 0 ? Json(port.busyPid) : Json(nullptr);
    json["com6"] = port.com6;
    json["latency_timer_ms"] = port.latencyTimerMs >= 0 ? Json(port.latencyTimerMs) : Json(nullptr);
    return JsonText(json);
}

// /dev/ttyUSB0: ftdi_sio, USB 0403:6001, FTDI FT232R USB UART, serial A1B2C3, read-write,
// by-id /dev/serial/by-id/..., by-path /dev/serial/by-path/... <- COM6:
std::string TextPort(const ce::SerialPort& port) {
    std::vector<std::string> parts;
    parts.push_back(port.driver.empty() ? "unknown driver" : port.driver);
    if (!port.hasUart)
        parts.push_back("no UART behind it");
    if (!port.vid.empty())
        parts.push_back("USB " + port.vid + ":" + (port.pid.empty() ? "????" : port.pid));
    std::string name = port.manufacturer;
    if (!port.product.empty())
        name += (name.empty() ? "" : " ") + port.product;
    if (!name.empty())
        parts.push_back(name);
    if (!port.serial.empty())
        parts.push_back("serial " + port.serial);
    if (port.latencyTimerMs >= 0)
        parts.push_back("latency timer " + std::to_string(port.latencyTimerMs) + " ms");
    parts.push_back(port.access ? "read-write" : "not readable and writable by this user");
    if (port.busyPid > 0)
        parts.push_back("in use by process " + std::to_string(port.busyPid) +
                        (port.busyName.empty() ? "" : " (" + port.busyName + ")"));
    for (const std::string& link : port.byId)
        parts.push_back("by-id " + link);
    for (const std::string& link : port.byPath)
        parts.push_back("by-path " + link);
    std::string line = port.device + ":";
    for (size_t i = 0; i < parts.size(); ++i)
        line += (i ? ", " : " ") + parts[i];
    return port.com6 ? line + " <- " + SlavePortText() : line;
}

// Where COM6: leads when it is none of the ports listed (a pty, a missing node).
std::string Com6Elsewhere() {
    const std::string path = SlavePortPath();
    struct stat node;
    if (stat(path.c_str(), &node) != 0)
        return SlavePortText() + " " + path + " does not exist";
    return SlavePortText() + " opens " + path;
}

// Why a latency timer above 1 ms matters, and how to set it, for the adapters that have one;
// "" when none has.
std::string SlowAdapters(const std::vector<ce::SerialPort>& ports) {
    std::string where, files;
    for (const ce::SerialPort& port : ports) {
        if (port.latencyTimerMs <= 1)
            continue;
        where += (where.empty() ? "" : ", ") + port.device + " (" +
                 std::to_string(port.latencyTimerMs) + " ms)";
        files += " " + port.latencyTimerFile;
    }
    if (where.empty())
        return "";
    return "Latency timer above 1 ms on " + where +
           ": such an adapter holds what the slave sends that long before passing it on, so a "
           "flash can take up to three times longer.\nThe udev rule 60-korvane.rules that comes "
           "with Korvane (/usr/lib/udev/rules.d) sets 1 ms on FTDI adapters when they are "
           "plugged in: re-plug them, or set it now with: echo 1 | sudo tee" +
           files + "\n";
}

} // namespace

int PortsCommand(int argc, char** argv) {
    bool all = false;
    bool json = false;
    bool help = false;
    enum { OPTION_ALL = 0x200, OPTION_JSON };
    const option known[] = {HELP_OPTION,
                            {"all", no_argument, nullptr, OPTION_ALL},
                            {"json", no_argument, nullptr, OPTION_JSON},
                            {}};
    const std::string what = ReadFlags(argc, argv, known, [&](int id, const std::string&) {
        all = all || id == OPTION_ALL;
        json = json || id == OPTION_JSON;
        help = help || id == 'h';
        return std::string();
    });
    if (!what.empty())
        return UsageError("ports", what.c_str());
    if (help)
        return Out("%s", PORTS_USAGE) ? EXIT_UPDATED : EXIT_UPDATE_FAILED;
    const std::vector<ce::SerialPort> ports = ce::ListSerialPorts(all);
    if (json) {
        std::string out = "[";
        for (size_t i = 0; i < ports.size(); ++i)
            out += (i ? ",\n" : "\n") + JsonPort(ports[i]);
        // The list is what a script asked for: one that did not arrive fails the run.
        return Out("%s%s]\n", out.c_str(), ports.empty() ? "" : "\n") ? EXIT_UPDATED
                                                                      : EXIT_UPDATE_FAILED;
    }
    bool com6Listed = false;
    for (const ce::SerialPort& port : ports) {
        Out("%s\n", TextPort(port).c_str());
        com6Listed = com6Listed || port.com6;
    }
    if (ports.empty())
        Out("No serial ports.\n");
    if (!com6Listed)
        Out("%s\n", Com6Elsewhere().c_str());
    Out("%s", SlowAdapters(ports).c_str());
    return 0;
}
