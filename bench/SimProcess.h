// korvane-sim as a child process for the benchmark programs: started from the build directory
// beside the program, its pty read from its first line of output, stopped with SIGTERM so that
// it writes its dumps and its exit record, every wait bounded.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace benchsim {

inline int64_t MonoUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// The directory of this program: korvane-sim is built beside it.
inline std::string ProgramDir() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string self(path, size_t(n));
    return self.substr(0, self.rfind('/'));
}

// One value out of a JSON-lines record (a number's text or a string's contents).
inline std::string Field(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    size_t at = line.find(tag);
    if (at == std::string::npos)
        return "";
    at += tag.size();
    if (line[at] == '"')
        return line.substr(at + 1, line.find('"', at + 1) - at - 1);
    if (line[at] == '[')
        return line.substr(at, line.find(']', at) - at + 1);
    return line.substr(at, line.find_first_of(",}", at) - at);
}

class SimProcess {
public:
    // Starts korvane-sim with `args` plus --log and --hex-dir in `dir` (which must exist).
    SimProcess(const std::vector<std::string>& args, const std::string& dir) : m_dir(dir) {
        std::vector<std::string> all = {ProgramDir() + "/korvane-sim", "--log", dir + "/sim.log",
                                        "--hex-dir", dir};
        all.insert(all.end(), args.begin(), args.end());
        int out[2];
        if (pipe(out) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string line;
        const int64_t end = MonoUs() + 5000000;
        while (line.find('\n') == std::string::npos && MonoUs() < end) {
            pollfd p = {out[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, size_t(n));
        }
        close(out[0]);
        if (line.find('\n') != std::string::npos)
            m_path = line.substr(0, line.find('\n'));
    }
    ~SimProcess() {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    pid_t Pid() const { return m_pid; }

    // SIGTERM (or `sig`) and a bounded wait; the exit status, or -1 when it would not end.
    int Stop(int sig = SIGTERM, int ms = 5000) {
        if (m_pid <= 0)
            return -1;
        if (m_ended)
            return m_status;
        kill(m_pid, sig);
        const int64_t end = MonoUs() + int64_t(ms) * 1000;
        while (MonoUs() < end) {
            int status = 0;
            rusage usage{};
            if (wait4(m_pid, &status, WNOHANG, &usage) == m_pid) {
                m_ended = true;
                m_usage = usage;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_status;
            }
            usleep(2000);
        }
        return -1;
    }
    // CPU time the simulator used, in microseconds (after Stop).
    int64_t CpuUs() const {
        return int64_t(m_usage.ru_utime.tv_sec + m_usage.ru_stime.tv_sec) * 1000000 +
               m_usage.ru_utime.tv_usec + m_usage.ru_stime.tv_usec;
    }
    // The exit record of its log (after Stop), or "".
    std::string ExitRecord() const {
        std::ifstream in(m_dir + "/sim.log");
        std::string line, last;
        while (std::getline(in, line))
            if (Field(line, "event") == "exit")
                last = line;
        return last;
    }
    std::string DumpPath(uint8_t slave) const {
        char name[32];
        std::snprintf(name, sizeof name, "/slave-%02x.hex", slave);
        return m_dir + name;
    }

private:
    std::string m_dir;
    std::string m_path;
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = -1;
    rusage m_usage{};
};

} // namespace benchsim
