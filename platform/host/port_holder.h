// Which process holds a device: the holder of an advisory lock on it (/proc/locks), else a
// process that has it open (/proc/*/fd). Processes of other users are only seen by root.
#pragma once

#include <string>
#include <sys/types.h>

namespace ce {

struct PortHolder {
    pid_t pid = 0;
    std::string name; // the process's command name (/proc/PID/comm), "" when not readable
};

// Fills *holder and returns true when a process holding path was found.
bool FindPortHolder(const std::string& path, PortHolder* holder);

} // namespace ce
