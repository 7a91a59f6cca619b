// Finding the process behind a busy port, from the process table under ProcRoot().
#include "platform/host/port_holder.h"
#include "platform/host/host_roots.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ce {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return true;
    // The same terminal reached through another node (a container's /dev, a second mknod).
    return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

// A line of /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:05:1081 0 EOF"; the file is
// named by its file system's device (major and minor in hex) and its inode. Waiters
// ("1: -> FLOCK ...") hold nothing.
pid_t LockHolder(const struct stat& device) {
    std::ifstream locks(ProcRoot() + "/locks");
    std::string line;
    while (std::getline(locks, line)) {
        if (line.find("->") != std::string::npos)
            continue;
        std::istringstream fields(line);
        std::string field, previous;
        while (fields >> field) {
            unsigned int major = 0, minor = 0;
            unsigned long inode = 0;
            char end = 0;
            if (std::sscanf(field.c_str(), "%x:%x:%lu%c", &major, &minor, &inode, &end) == 3) {
                if (major == major(device.st_dev) && minor == minor(device.st_dev) &&
                    inode == device.st_ino)
                    return static_cast<pid_t>(std::atol(previous.c_str()));
                break;
            }
            previous = field;
        }
    }
    return 0;
}

bool IsNumber(const char* name) {
    if (!*name)
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

bool HasOpen(const std::string& fdDir, const struct stat& device) {
    DIR* fds = opendir(fdDir.c_str());
    if (!fds)
        return false;
    bool found = false;
    while (const dirent* entry = readdir(fds)) {
        struct stat open;
        if (IsNumber(entry->d_name) && stat((fdDir + "/" + entry->d_name).c_str(), &open) == 0 &&
            SameFile(open, device)) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

pid_t OpenedBy(const struct stat& device) {
    const std::string proc = ProcRoot();
    DIR* processes = opendir(proc.c_str());
    if (!processes)
        return 0;
    pid_t pid = 0;
    while (const dirent* entry = readdir(processes)) {
        if (IsNumber(entry->d_name) && HasOpen(proc + "/" + entry->d_name + "/fd", device)) {
            pid = static_cast<pid_t>(std::atol(entry->d_name));
            break;
        }
    }
    closedir(processes);
    return pid;
}

std::string CommandName(pid_t pid) {
    std::ifstream comm(ProcRoot() + "/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

bool FindPortHolder(const std::string& path, PortHolder* holder) {
    struct stat device;
    if (stat(path.c_str(), &device) != 0)
        return false;
    pid_t pid = LockHolder(device);
    if (pid <= 0)
        pid = OpenedBy(device);
    if (pid <= 0)
        return false;
    holder->pid = pid;
    holder->name = CommandName(pid);
    return true;
}

} // namespace ce
