#include "wstdio.h"

#include "wcrt.h"

#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HostPath(const wchar_t* path) {
    std::string host = WideToUtf8(path, std::wcslen(path));
    if (host.empty() || host[0] != '\\')
        return host;
    for (char& c : host) {
        if (c == '\\')
            c = '/';
    }
    const char* root = std::getenv("CE_ROOT");
    std::string base = (root && *root) ? root : "/";
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + host;
}

// The open(2) flags of an fopen mode; false for a mode fopen refuses too.
bool OpenFlags(const std::string& mode, int* flags) {
    if (mode.empty())
        return false;
    const bool update = mode.find('+') != std::string::npos;
    switch (mode[0]) {
    case 'r':
        *flags = update ? O_RDWR : O_RDONLY;
        break;
    case 'w':
        *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        break;
    case 'a':
        *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        break;
    default:
        return false;
    }
    if (mode.find('x') != std::string::npos)
        *flags |= O_EXCL;
    if (mode.find('e') != std::string::npos)
        *flags |= O_CLOEXEC;
    return true;
}

} // namespace

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (!path || !mode)
        return nullptr;
    const std::string host = HostPath(path);
    const std::string how = WideToUtf8(mode, std::wcslen(mode));
    int flags = 0;
    if (!OpenFlags(how, &flags)) {
        errno = EINVAL;
        return nullptr;
    }
    // The device's file system holds files and folders only. A host path may also name a
    // folder (which the host's open takes for reading), a FIFO or a terminal (whose open or
    // first read can wait for ever): none is the file the caller meant. What is refused is what
    // was opened, not what the name pointed at a moment before, so the open comes first and
    // cannot wait (O_NONBLOCK), and then the descriptor is looked at.
    const int fd = open(host.c_str(), flags | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int why = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = why;
        return nullptr;
    }
    FILE* stream = fdopen(fd, how.c_str());
    if (!stream) {
        const int why = errno;
        close(fd);
        errno = why;
    }
    return stream;
}
