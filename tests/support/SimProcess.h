// korvane-sim as a child process, for the tests and the benchmark programs: started from the
// build directory beside the running program, its pty read from its first line of output,
// stopped with a signal so that it writes its dumps and its exit record; every wait bounded.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// Microseconds on the monotonic clock.
int64_t MonoUs();

// The directory of the running program: korvane-sim is built beside it.
std::string ProgramDir();
// In a forked child: becomes args[0] with these arguments, or ends the child with 127.
[[noreturn]] void ExecOrExit(std::vector<std::string>& args);

// One value out of a JSON-lines record: the text of a number, true/false, a list, or a
// string's contents; empty when the key is absent.
std::string Field(const std::string& line, const std::string& key);

class SimProcess {
public:
    // Starts korvane-sim with `args` plus --log and --hex-dir in `dir` (which must exist) and
    // reads the pty's path. Check Ok() after.
    SimProcess(const std::vector<std::string>& args, const std::string& dir);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    pid_t Pid() const { return m_pid; }
    std::string LogPath() const { return m_dir + "/sim.log"; }
    // Where the simulator dumps a slave's memory at exit.
    std::string DumpPath(uint8_t slave) const;

    // Sends `sig` and waits (bounded) for the exit; the exit status, or -1 when it would not end.
    int Stop(int sig = SIGTERM, int ms = 5000);
    // Waits (bounded) for the simulator to end by itself; the exit status, or -1.
    int WaitExit(int ms);
    // CPU time the simulator used, in microseconds (after it ended).
    int64_t CpuUs() const;
    // The lines of its log, and the exit record among them ("" when there is none).
    std::vector<std::string> LogLines() const;
    std::string ExitRecord() const;

private:
    std::string m_dir;
    std::string m_path;
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = -1;
    rusage m_usage{};
};

} // namespace testsupport
