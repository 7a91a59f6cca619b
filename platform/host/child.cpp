#include "platform/host/child.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace host {

std::string SelfPath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    return std::string(path, static_cast<size_t>(length));
}

ChildProcess::~ChildProcess() {
    CloseOut();
    CloseErr();
    if (m_pid > 0 && m_status < 0) {
        kill(m_pid, SIGKILL);
        Wait();
    }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& settings, std::string* error) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        *error = std::strerror(errno);
        close(out[0]);
        close(out[1]);
        return false;
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        environment.push_back(*entry);
    environment.insert(environment.end(), settings.begin(), settings.end());
    std::vector<char*> argv, envp;
    std::vector<std::string> argsCopy = args;
    for (std::string& arg : argsCopy)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    for (std::string& setting : environment)
        envp.push_back(&setting[0]);
    envp.push_back(nullptr);

    // The pipes' write ends become its standard output and error; every other descriptor of
    // ours is close-on-exec and stays behind.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Its own process group, taken before it runs a line of its own: a Ctrl+C that comes
    // while it starts already finds it outside the terminal's group.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int failed =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (failed != 0) {
        *error = std::strerror(failed);
        close(out[0]);
        close(err[0]);
        return false;
    }
    m_pid = pid;
    m_out = out[0];
    m_err = err[0];
    return true;
}

void ChildProcess::CloseOut() {
    if (m_out >= 0)
        close(m_out);
    m_out = -1;
}

void ChildProcess::CloseErr() {
    if (m_err >= 0)
        close(m_err);
    m_err = -1;
}

void ChildProcess::Signal(int sig) const {
    if (m_pid > 0 && m_status < 0)
        kill(m_pid, sig);
}

int ChildProcess::Wait() {
    if (m_pid <= 0 || m_status >= 0)
        return m_status;
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

void WaitReadable(const std::vector<int>& fds, int interruptFd, int ms, std::vector<bool>* ready) {
    std::vector<pollfd> polled;
    for (int fd : fds)
        polled.push_back({fd, POLLIN, 0});
    polled.push_back({interruptFd, POLLIN, 0});
    ready->assign(fds.size(), false);
    if (poll(polled.data(), polled.size(), ms) <= 0)
        return;
    for (size_t i = 0; i < fds.size(); ++i)
        (*ready)[i] = polled[i].revents != 0;
}

bool ReadSome(int fd, std::string* text) {
    char buffer[4096];
    ssize_t got;
    do
        got = read(fd, buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    if (got <= 0)
        return false;
    text->append(buffer, static_cast<size_t>(got));
    return true;
}

bool PathExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

} // namespace host
