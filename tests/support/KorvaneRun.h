// Runs the real korvane program for a test, as a script would: arguments, extra environment,
// standard output and error to files, the exit status; bounded in time.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace runtest {

struct Finished {
    int exit = -1; // the exit status; 128 + N when signal N ended it; -1 when it did not end
    std::string out, err;
};

class Korvane {
public:
    // Starts build/korvane with these arguments and "NAME=value" environment additions, in a
    // fresh directory (Dir()) that is also its working directory.
    Korvane(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~Korvane();

    pid_t Pid() const { return m_pid; }
    const std::string& Dir() const { return m_dir; }
    // What it has written so far.
    std::string Out() const;
    std::string Err() const;
    // Waits at most `ms` for it to end (then kills it).
    Finished Wait(int ms = 60000);

private:
    pid_t m_pid = -1;
    std::string m_dir;
    bool m_done = false;
    Finished m_finished;
};

// Runs it to its end.
Finished RunKorvane(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                    int ms = 60000);

// The lines of a text, without their line breaks.
std::vector<std::string> Lines(const std::string& text);

} // namespace runtest
