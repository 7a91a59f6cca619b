#include "platform/host/file_watch.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace host {

FolderWatch::~FolderWatch() {
    if (m_fd >= 0)
        close(m_fd);
}

bool FolderWatch::Watch(const std::string& folder, std::string* error) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 ||
        inotify_add_watch(m_fd, folder.c_str(),
                          IN_MODIFY | IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE) < 0) {
        *error = folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void FolderWatch::Drain() {
    char events[4096];
    while (read(m_fd, events, sizeof events) > 0) {
    }
}

} // namespace host
