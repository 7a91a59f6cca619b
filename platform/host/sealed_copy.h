// A copy of some bytes in memory that nobody can change: a sealed memfd, opened by its
// /proc/self/fd path as any file is. A run hands the dialog this path instead of the file it
// read, so that the bytes the update loads are the bytes the run hashed, even when the file
// is replaced meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class SealedCopy {
public:
    SealedCopy() = default;
    ~SealedCopy();
    SealedCopy(const SealedCopy&) = delete;
    SealedCopy& operator=(const SealedCopy&) = delete;

    // Makes the copy (dropping one made before). false with *error set (the system's words).
    bool Make(const std::vector<uint8_t>& bytes, std::string* error);
    // The path it opens by; "" when there is none.
    std::string Path() const;

private:
    int m_fd = -1;
};

} // namespace host
