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

std::string Printable(const std::string& text) {
    std::string shown;
    char escape[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04X", next);
            shown += escape;
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}
