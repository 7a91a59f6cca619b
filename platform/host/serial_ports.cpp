// Listing the serial ports from sysfs and /dev.
#include "platform/host/serial_ports.h"
#include "ce_namespace.h"
#include "platform/host/host_roots.h"
#include "platform/host/port_holder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace ce {
namespace {

// A sysfs attribute's value without its line break; "" when it is not there.
std::string Attribute(const std::string& path) {
    std::ifstream file(path);
    std::string value;
    std::getline(file, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r'))
        value.pop_back();
    return value;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LinkBaseName(const std::string& link) {
    char target[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return "";
    return BaseName(std::string(target, static_cast<size_t>(length)));
}

std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "" : path.substr(0, slash);
}

// The driver of the port's device. Newer kernels put serial-base "port" and "ctrl" devices
// between a UART and the device that has it; the driver that names the hardware is above them.
std::string DriverOf(std::string device, const std::string& sysRoot) {
    for (; device.size() > sysRoot.size(); device = Parent(device)) {
        const std::string driver = LinkBaseName(device + "/driver");
        if (!driver.empty() && LinkBaseName(device + "/subsystem") != "serial-base")
            return driver;
    }
    return "";
}

// USB identity from the first device above the port that has a vendor id: the interface a
// port hangs on has none, its USB device has.
void ReadUsbIdentity(std::string device, const std::string& sysRoot, SerialPort* port) {
    for (; device.size() > sysRoot.size(); device = Parent(device)) {
        const std::string vid = Attribute(device + "/idVendor");
        if (vid.empty())
            continue;
        auto fourHex = [](std::string id) {
            for (char& c : id) {
                if (!isxdigit(static_cast<unsigned char>(c)))
                    return std::string();
                c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            }
            return id.size() == 4 ? id : std::string();
        };
        port->vid = fourHex(vid);
        port->pid = fourHex(Attribute(device + "/idProduct"));
        port->manufacturer = Attribute(device + "/manufacturer");
        port->product = Attribute(device + "/product");
        port->serial = Attribute(device + "/serial");
        return;
    }
}

// The latency timer of the usb-serial port a tty's device link leads to (ftdi_sio has one): a
// whole number of milliseconds, 1 to 255 on these adapters.
void ReadLatencyTimer(const std::string& deviceLink, SerialPort* port) {
    const std::string file = deviceLink + "/latency_timer";
    const std::string value = Attribute(file);
    if (value.empty() || value.size() > 3 ||
        value.find_first_not_of("0123456789") != std::string::npos)
        return;
    port->latencyTimerMs = std::atoi(value.c_str());
    port->latencyTimerFile = file;
}

// The links in directory that lead to target (resolved), in name order.
std::vector<std::string> LinksTo(const std::string& directory, const std::string& target) {
    std::vector<std::string> links;
    for (const std::string& name : Entries(directory)) {
        const std::string link = directory + "/" + name;
        if (ResolvedPath(link) == target)
            links.push_back(link);
    }
    std::sort(links.begin(), links.end());
    return links;
}

} // namespace

std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

std::string StableNameOf(const std::string& path) {
    const std::string resolved = ResolvedPath(path);
    for (const char* folder : {"/serial/by-path", "/serial/by-id"}) {
        const std::vector<std::string> links = LinksTo(DevRoot() + folder, resolved);
        if (!links.empty())
            return links.front();
    }
    return "";
}

std::vector<SerialPort> ListSerialPorts(bool withoutUart) {
    const std::string sysRoot = ResolvedPath(SysRoot());
    const std::string devRoot = DevRoot();
    const std::string classTty = sysRoot + "/class/tty";
    const std::string com6 = ResolvedPath(HostPathFor(L"COM6:"));
    std::vector<SerialPort> ports;
    for (const std::string& name : Entries(classTty)) {
        // Consoles and pseudo-terminals have no device behind them.
        const std::string deviceLink = classTty + "/" + name + "/device";
        if (access(deviceLink.c_str(), F_OK) != 0)
            continue;
        const std::string device = ResolvedPath(deviceLink);
        SerialPort port;
        std::string node = name;
        std::replace(node.begin(), node.end(), '!', '/'); // sysfs writes a / in a name as !
        port.device = devRoot + "/" + node;
        const std::string resolved = ResolvedPath(port.device);
        if (access(resolved.c_str(), F_OK) != 0)
            continue; // no node to open (a container's /dev)
        // A UART port's type 0 is PORT_UNKNOWN: the kernel reserved the port, nothing answered.
        port.hasUart = Attribute(classTty + "/" + name + "/type") != "0";
        if (!port.hasUart && !withoutUart)
            continue;
        port.byId = LinksTo(devRoot + "/serial/by-id", resolved);
        port.byPath = LinksTo(devRoot + "/serial/by-path", resolved);
        port.driver = DriverOf(device, sysRoot);
        ReadUsbIdentity(device, sysRoot, &port);
        ReadLatencyTimer(deviceLink, &port);
        port.access = faccessat(AT_FDCWD, resolved.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
        PortHolder holder;
        if (FindPortHolder(resolved, &holder)) {
            port.busyPid = holder.pid;
            port.busyName = holder.name;
        }
        port.com6 = resolved == com6;
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
        // ttyS2 before ttyS10: runs of digits compare by value.
        return strverscmp(a.device.c_str(), b.device.c_str()) < 0;
    });
    return ports;
}

std::string DescribePort(const SerialPort& port) {
    std::string what = port.manufacturer;
    if (!port.product.empty())
        what += (what.empty() ? "" : " ") + port.product;
    if (what.empty())
        what = port.driver.empty() ? "unknown driver" : port.driver;
    if (!port.serial.empty())
        what += ", serial " + port.serial;
    else if (!port.byPath.empty()) // identical adapters without a serial: where each is plugged
        what += ", at " + BaseName(port.byPath.front());
    return what;
}

} // namespace ce
