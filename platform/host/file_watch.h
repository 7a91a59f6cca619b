// Word from the kernel (inotify) that something changed in a folder: a file in it written,
// created, renamed or removed. Whoever waits on Fd() then looks at the files again itself.
#pragma once

#include <string>

namespace host {

class FolderWatch {
public:
    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches the folder; false with *error (the system's words).
    bool Watch(const std::string& folder, std::string* error);
    // Readable when something changed; -1 when not watching.
    int Fd() const { return m_fd; }
    // Takes the waiting events (they only said "look again").
    void Drain();

private:
    int m_fd = -1;
};

} // namespace host
