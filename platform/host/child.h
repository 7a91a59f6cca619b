// Child processes of the program's own commands: the same program started again with other
// arguments, its standard output and error read through pipes, in a process group of its own
// so that a terminal's Ctrl+C reaches only the parent, which passes it on once.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace host {

// The path of the running program.
std::string SelfPath();

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program with args (args[0] is the name it is given) and the environment plus
    // "NAME=value" settings; standard input is /dev/null. False with *error set when it could
    // not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& settings, std::string* error);
    pid_t Pid() const { return m_pid; }
    // The read ends of its standard output and error; -1 once they are closed.
    int OutFd() const { return m_out; }
    int ErrFd() const { return m_err; }
    void CloseOut();
    void CloseErr();
    void Signal(int sig) const;
    // Waits for it to end; its exit status (128 + N for signal N).
    int Wait();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    int m_status = -1;
};

// Waits until one of fds (and the interrupt descriptor, when given) is readable or `ms` pass
// (-1: no limit); ready[i] tells which. Descriptors below 0 are left out.
void WaitReadable(const std::vector<int>& fds, int interruptFd, int ms, std::vector<bool>* ready);

// Reads what waits on fd and appends it to *text; false at the end of the stream.
bool ReadSome(int fd, std::string* text);

// Whether a path leads to something that exists now (a link to it included).
bool PathExists(const std::string& path);

} // namespace host
