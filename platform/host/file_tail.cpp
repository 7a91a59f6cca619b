#include "platform/host/file_tail.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

FileTail::~FileTail() {
    Close();
}

bool FileTail::Open(const std::string& path, uint64_t offset, std::string* error) {
    Close();
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat status;
    if (fstat(m_fd, &status) != 0) {
        *error = std::strerror(errno);
        Close();
        return false;
    }
    m_identity = status.st_ino;
    m_offset = offset <= static_cast<uint64_t>(status.st_size) ? offset : 0;
    return true;
}

void FileTail::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_part.clear();
    m_identity = 0;
}

bool FileTail::ReadLines(std::vector<TailLine>* lines, std::string* error) {
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = pread(m_fd, chunk, sizeof chunk, static_cast<off_t>(m_offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = std::strerror(errno);
            return false;
        }
        if (got == 0)
            return true;
        // The start of the part line already held lies m_part.size() bytes before m_offset.
        uint64_t lineStart = m_offset - m_part.size();
        m_offset += static_cast<uint64_t>(got);
        const char* at = chunk;
        const char* const end = chunk + got;
        while (at < end) {
            const char* brk = static_cast<const char*>(std::memchr(at, '\n', end - at));
            if (!brk) {
                m_part.append(at, end);
                break;
            }
            TailLine line;
            line.text = std::move(m_part);
            m_part.clear();
            line.text.append(at, brk);
            line.start = lineStart;
            line.end = lineStart + line.text.size() + 1;
            lineStart = line.end;
            lines->push_back(std::move(line));
            at = brk + 1;
        }
    }
}

void FileTail::Rewind(uint64_t offset) {
    m_offset = offset;
    m_part.clear();
}

uint64_t FileIdentity(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_ino) : 0;
}

bool ReplaceFileSynced(const std::string& path, const std::string& bytes, std::string* error) {
    const std::string temporary = path + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = temporary + ": " + std::strerror(errno);
        return false;
    }
    bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    written = written && fsync(fd) == 0;
    const int savedErrno = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(written ? errno : savedErrno);
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir); // the rename itself reaches the disk
        close(dir);
    }
    return true;
}

bool OthersCanRead(const std::string& path, bool* canRead, std::string* error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    *canRead = (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
    return true;
}

} // namespace host
