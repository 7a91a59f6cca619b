#include "wstdio.h"

#include "wcrt.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <cwchar>
#include <string>

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

} // namespace

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (!path || !mode)
        return nullptr;
    const std::string host = HostPath(path);
    // The device's file system holds files and folders only. A host path may also name a
    // folder (which the host's fopen takes for reading), a FIFO or a terminal (whose open or
    // first read can wait for ever): none is the file the caller meant.
    struct stat status;
    if (stat(host.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    return std::fopen(host.c_str(), WideToUtf8(mode, std::wcslen(mode)).c_str());
}
