// Which process holds something, told so that a later process can judge whether the holder is
// still running: its pid alone could have been given to another process since, so the machine's
// boot and the process's start are kept beside it.
#pragma once

#include <string>

namespace host {

struct ProcessIdentity {
    std::string host;    // the machine's name
    long long pid = 0;   //
    std::string boot;    // the kernel's id of this boot of the machine
    std::string started; // the process's start, in clock ticks since the boot
};

// The running process.
ProcessIdentity CurrentProcess();
// The process that started this one.
ProcessIdentity ParentProcess();

enum class Liveness {
    Running, // on this machine, since this boot, the same process
    Gone,    // on this machine: ended, or from an earlier boot
    Unknown, // another machine's: only that machine can tell
};

Liveness JudgeProcess(const ProcessIdentity& holder);

} // namespace host
