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
    FILE* file = std::fopen(HostPath(path).c_str(), WideToUtf8(mode, std::wcslen(mode)).c_str());
    // The host's fopen takes a directory for reading; the device's file system does not, and
    // a directory is never the file the caller meant.
    struct stat status;
    if (file != nullptr && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}
