// The reasons a COMn: port does not open.
#include "platform/host/port_open_reason.h"
#include "ce_namespace.h"
#include "platform/host/port_holder.h"
#include "platform/host/serial_ports.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ce {
namespace {

// "CE_COM6" for "COM6:".
std::string VariableFor(const std::string& port) {
    return "CE_" + port.substr(0, port.size() - 1);
}

std::string Missing(const std::string& port, const std::string& path) {
    const std::string variable = VariableFor(port);
    std::string reason = port + " ";
    if (path.empty())
        reason += "has no device";
    else
        reason += path + " does not exist";
    const std::string origin = HostPathAndOrigin(std::wstring(port.begin(), port.end())).second;
    reason += !origin.empty() ? " (from " + origin + ")." : " (" + variable + " is not set).";
    const std::vector<SerialPort> ports = ListSerialPorts(false);
    if (ports.empty()) {
        reason += " This machine has no serial ports.";
    } else {
        reason += " Serial ports here:";
        for (size_t i = 0; i < ports.size(); ++i)
            reason += std::string(i ? ";" : "") + " " + ports[i].device + " (" +
                      DescribePort(ports[i]) + ")";
        reason += ".";
    }
    return reason + " Use --port DEVICE or " + variable + ".";
}

// The groups the user belongs to in the group database, the primary one included.
bool InGroupDatabase(const passwd& user, gid_t group) {
    int count = 32;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<size_t>(count));
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// The groups this process runs with, fixed when the session began.
bool InProcessGroups(gid_t group) {
    if (getegid() == group)
        return true;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    if (count <= 0 || getgroups(count, groups.data()) < 0)
        return false;
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::string SystemMessage(const std::string& port, const std::string& path, int err) {
    return port + " " + path + ": " + std::strerror(err) + ".";
}

// The device lets its group read and write it; the user is not in the group, or joined it
// after this session began.
std::string Refused(const std::string& port, const std::string& path, int err) {
    struct stat device;
    const passwd* user = getpwuid(geteuid());
    if (stat(path.c_str(), &device) != 0 || !user || (device.st_mode & 060) != 060)
        return SystemMessage(port, path, err);
    const group* owner = getgrgid(device.st_gid);
    const std::string groupName = owner ? owner->gr_name : std::to_string(device.st_gid);
    const std::string userName = user->pw_name;
    const std::string start = port + " " + path + ": permission denied: ";
    if (!InGroupDatabase(*user, device.st_gid))
        return start + "it belongs to group " + groupName + ", and user " + userName +
               " is not in it (sudo usermod -aG " + groupName + " " + userName +
               ", then log in again).";
    if (!InProcessGroups(device.st_gid))
        return start + "user " + userName + " is in group " + groupName +
               ", but this session began before that: log in again.";
    return SystemMessage(port, path, err);
}

std::string Busy(const std::string& port, const std::string& path) {
    PortHolder holder;
    if (!FindPortHolder(path, &holder))
        return port + " " + path + " is in use.";
    std::string reason = port + " " + path + " is in use by process " + std::to_string(holder.pid);
    if (!holder.name.empty())
        reason += " (" + holder.name + ")";
    return reason + ".";
}

} // namespace

std::string PortOpenReason(const std::string& port, const std::string& path, int err) {
    if (path.empty())
        return Missing(port, path);
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return Missing(port, path);
    case EACCES:
    case EPERM:
        return Refused(port, path, err);
    case EWOULDBLOCK:
    case EBUSY:
        return Busy(port, path);
    case ENOTTY:
        return port + " " + path + " is not a terminal (" + std::strerror(err) + ").";
    default:
        return SystemMessage(port, path, err);
    }
}

} // namespace ce
