#include "cli/Output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

bool s_lost = false;

void NoteLoss(int error) {
    s_lost = true;
    // Anything still buffered would only fail again at exit.
    std::clearerr(stdout);
    std::fprintf(stderr, "korvane: standard output was lost (%s); later lines to it are dropped\n",
                 std::strerror(error));
    std::fflush(stderr);
}

} // namespace

bool Out(const char* format, ...) {
    if (s_lost)
        return false;
    errno = 0;
    va_list args;
    va_start(args, format);
    const int written = std::vfprintf(stdout, format, args);
    va_end(args);
    if (written < 0 || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        NoteLoss(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool OutLine(const std::string& line) {
    return Out("%s\n", line.c_str());
}

bool StdoutLost() {
    return s_lost;
}
