#include "platform/host/wait.h"

#include <cstddef>
#include <poll.h>

namespace host {

void WaitFds(std::vector<WAIT_FD>* fds, int ms) {
    std::vector<pollfd> polled;
    for (WAIT_FD& wait : *fds) {
        wait.ready = false;
        polled.push_back({wait.fd, static_cast<short>(POLLIN | (wait.write ? POLLOUT : 0)), 0});
    }
    if (poll(polled.data(), polled.size(), ms) <= 0)
        return; // a signal or the time: nothing is ready
    for (size_t i = 0; i < fds->size(); ++i)
        (*fds)[i].ready = polled[i].revents != 0;
}

} // namespace host
