// What the program's commands ask of the host beyond the Win32 calls the system makes: the
// machine's name, the time of day, whether a stream is a terminal, and a file that records are
// appended to and synced.
#pragma once

#include <string>

namespace host {

// The machine's name ("" when the host will not say).
std::string HostName();
// Now, UTC, ISO 8601 with milliseconds: "2026-12-08T14:30:05.123Z".
std::string UtcNowIso8601();
// Opens /dev/null on whichever of standard input, output and error is closed, so that no
// file the program opens later (a record, a port) takes their place and their text; and makes
// a write to a pipe nobody reads fail instead of ending the program.
void GuardStandardStreams();
// Whether standard error (2) or standard output (1) is a terminal.
bool IsTerminal(int fd);

// A file opened for appending, each line written whole in one write and synced to the disk
// before Append returns, so that a crash later loses no line written before it.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file when missing (mode 0644). FALSE with *error set (the system's words).
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return m_fd >= 0; }
    // Appends line and a line break; false with *error set when it could not be written whole
    // or synced.
    bool Append(const std::string& line, std::string* error);

private:
    int m_fd = -1;
};

} // namespace host
