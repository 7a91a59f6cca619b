#include "wstdio.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <string>

namespace {

// UTF-8, whatever the process's locale: file names are bytes on this host.
std::string Utf8(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        const unsigned long c = static_cast<unsigned long>(*text);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string HostPath(const wchar_t* path) {
    std::string host = Utf8(path);
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
    FILE* file = std::fopen(HostPath(path).c_str(), Utf8(mode).c_str());
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
