#include "platform/host/sealed_copy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace host {

SealedCopy::~SealedCopy() {
    if (m_fd >= 0)
        close(m_fd);
}

bool SealedCopy::Make(const std::vector<uint8_t>& bytes, std::string* error) {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = memfd_create("korvane-image", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (m_fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *error = std::strerror(errno);
            close(m_fd);
            m_fd = -1;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    if (fcntl(m_fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        *error = std::strerror(errno);
        close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

std::string SealedCopy::Path() const {
    return m_fd < 0 ? "" : "/proc/self/fd/" + std::to_string(m_fd);
}

} // namespace host
