// The roots of the host trees, read from the environment on each call so that a test can
// change them between opens.
#include "platform/host/host_roots.h"

#include <cstdlib>

namespace ce {
namespace {

std::string Below(const char* top) {
    const char* root = std::getenv("KORVANE_HOST_ROOT");
    std::string base = root ? root : "";
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + top;
}

} // namespace

std::string SysRoot() {
    return Below("/sys");
}
std::string DevRoot() {
    return Below("/dev");
}
std::string ProcRoot() {
    return Below("/proc");
}

} // namespace ce
