// Waiting on several descriptors at once, some for reading and some also for writing.
#pragma once

#include <vector>

namespace host {

struct WAIT_FD {
    int fd = -1;        // left out when below 0
    bool write = false; // wait for room to write too
    bool ready = false; // set: readable, writable (when asked) or closed
};

// Waits until one of fds is ready or `ms` pass (-1: no limit).
void WaitFds(std::vector<WAIT_FD>* fds, int ms);

} // namespace host
