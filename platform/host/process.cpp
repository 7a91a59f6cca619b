#include "platform/host/process.h"

#include "platform/host/host.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace host {

namespace {

std::string BootId() {
    std::string id;
    std::ifstream("/proc/sys/kernel/random/boot_id") >> id;
    return id;
}

// Field 22 of /proc/PID/stat; "" when the process does not exist. The fields are counted after
// the command's name, which may itself hold spaces and parentheses.
std::string StartTicks(long long pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text))
        return "";
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return "";
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index)
        if (index == 22)
            return field;
    return "";
}

} // namespace

ProcessIdentity CurrentProcess() {
    ProcessIdentity self;
    self.host = HostName();
    self.pid = getpid();
    self.boot = BootId();
    self.started = StartTicks(self.pid);
    return self;
}

ProcessIdentity ParentProcess() {
    ProcessIdentity parent = CurrentProcess();
    parent.pid = getppid();
    parent.started = StartTicks(parent.pid);
    return parent;
}

Liveness JudgeProcess(const ProcessIdentity& holder) {
    const ProcessIdentity self = CurrentProcess();
    if (holder.boot != self.boot)
        return holder.host == self.host ? Liveness::Gone : Liveness::Unknown;
    // A zombie still has its stat until reaped; its start time matches, but it runs no more.
    std::ifstream file("/proc/" + std::to_string(holder.pid) + "/stat");
    std::string text;
    std::getline(file, text);
    const size_t close = text.rfind(')');
    if (close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z')
        return Liveness::Gone;
    return StartTicks(holder.pid) == holder.started && !holder.started.empty() ? Liveness::Running
                                                                               : Liveness::Gone;
}

} // namespace host
