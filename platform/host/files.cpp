#include "platform/host/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

void Describe(const struct stat& status, FileFacts* facts) {
    facts->owner = status.st_uid;
    facts->othersCanWrite = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

ReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string* bytes,
                         FileFacts* facts, std::string* error) {
    bytes->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = std::strerror(errno);
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    struct stat status;
    ReadStatus outcome = ReadStatus::Read;
    if (fstat(fd, &status) != 0) {
        *error = std::strerror(errno);
        outcome = ReadStatus::Failed;
    } else if (!S_ISREG(status.st_mode)) {
        *error = S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a regular file";
        outcome = ReadStatus::NotRegular;
    } else if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        *error = "it is larger than " + std::to_string(maxBytes) + " bytes";
        outcome = ReadStatus::TooLarge;
    } else {
        Describe(status, facts);
        // The size may change while it is read: read until the end, but never past the limit.
        char chunk[65536];
        for (;;) {
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                *error = std::strerror(errno);
                outcome = ReadStatus::Failed;
                break;
            }
            if (got == 0)
                break;
            if (bytes->size() + static_cast<size_t>(got) > maxBytes) {
                *error = "it is larger than " + std::to_string(maxBytes) + " bytes";
                outcome = ReadStatus::TooLarge;
                break;
            }
            bytes->append(chunk, static_cast<size_t>(got));
        }
    }
    close(fd);
    if (outcome != ReadStatus::Read)
        bytes->clear();
    return outcome;
}

bool FolderFacts(const std::string& path, FileFacts* facts, std::string* error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        *error = "it is not a folder";
        return false;
    }
    Describe(status, facts);
    return true;
}

bool NameExists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

unsigned CurrentUser() {
    return geteuid();
}

} // namespace host
