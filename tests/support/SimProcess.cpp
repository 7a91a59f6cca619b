#include "tests/support/SimProcess.h"

#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace testsupport {

int64_t MonoUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void ExecOrExit(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

std::string ProgramDir() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    const std::string self(path, size_t(n));
    return self.substr(0, self.rfind('/'));
}

std::string Field(const std::string& line, const std::string& key) {
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

SimProcess::SimProcess(const std::vector<std::string>& args, const std::string& dir) : m_dir(dir) {
    std::vector<std::string> all = {ProgramDir() + "/korvane-sim", "--log", LogPath(), "--hex-dir",
                                    dir};
    all.insert(all.end(), args.begin(), args.end());
    int out[2];
    if (pipe(out) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        ExecOrExit(all);
    }
    close(out[1]);
    // The first line is the pty's path.
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

SimProcess::~SimProcess() {
    if (m_pid > 0 && !m_ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::string SimProcess::DumpPath(uint8_t slave) const {
    char name[32];
    std::snprintf(name, sizeof name, "/slave-%02x.hex", slave);
    return m_dir + name;
}

int SimProcess::Stop(int sig, int ms) {
    if (m_pid <= 0)
        return -1;
    if (m_ended)
        return m_status;
    kill(m_pid, sig);
    return WaitExit(ms);
}

int SimProcess::WaitExit(int ms) {
    if (m_pid <= 0)
        return -1;
    const int64_t end = MonoUs() + int64_t(ms) * 1000;
    while (!m_ended && MonoUs() < end) {
        int status = 0;
        rusage usage{};
        if (wait4(m_pid, &status, WNOHANG, &usage) == m_pid) {
            m_ended = true;
            m_usage = usage;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else {
            usleep(2000);
        }
    }
    return m_ended ? m_status : -1;
}

int64_t SimProcess::CpuUs() const {
    return int64_t(m_usage.ru_utime.tv_sec + m_usage.ru_stime.tv_sec) * 1000000 +
           m_usage.ru_utime.tv_usec + m_usage.ru_stime.tv_usec;
}

std::vector<std::string> SimProcess::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(LogPath());
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string SimProcess::ExitRecord() const {
    std::string last;
    for (const std::string& line : LogLines())
        if (Field(line, "event") == "exit")
            last = line;
    return last;
}

} // namespace testsupport
