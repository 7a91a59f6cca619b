#include "tests/support/KorvaneRun.h"
#include "tests/support/Files.h"
#include "tests/support/SimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace runtest {
Korvane::Korvane(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    m_dir = testsupport::MakeTempDir("korvane-run");
    if (m_dir.empty())
        return;
    std::vector<std::string> all = {testsupport::ProgramDir() + "/korvane"};
    all.insert(all.end(), args.begin(), args.end());
    m_pid = fork();
    if (m_pid == 0) {
        const int out = open((m_dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((m_dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int none = open("/dev/null", O_RDONLY);
        dup2(none, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(m_dir.c_str()) != 0)
            _exit(127);
        for (const std::string& setting : env)
            putenv(const_cast<char*>(setting.c_str()));
        testsupport::ExecOrExit(all);
    }
}

Korvane::~Korvane() {
    Wait(0);
    if (!m_dir.empty())
        std::system(("rm -rf '" + m_dir + "'").c_str());
}

std::string Korvane::Out() const {
    return testsupport::Slurp(m_dir + "/out");
}

std::string Korvane::Err() const {
    return testsupport::Slurp(m_dir + "/err");
}

Finished Korvane::Wait(int ms) {
    if (m_done || m_pid <= 0)
        return m_finished;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int status = 0;
    pid_t done;
    while ((done = waitpid(m_pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        m_finished.exit = -1;
    } else {
        m_finished.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    m_done = true;
    m_finished.out = Out();
    m_finished.err = Err();
    return m_finished;
}

Finished RunKorvane(const std::vector<std::string>& args, const std::vector<std::string>& env,
                    int ms) {
    Korvane run(args, env);
    return run.Wait(ms);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

} // namespace runtest
