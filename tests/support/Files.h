// Files and descriptors as tests and benchmarks look at them.
#pragma once

#include <string>

namespace testsupport {

// The file's bytes; "" when it cannot be read or is no regular file (a directory or a FIFO,
// which would block the reader).
std::string Slurp(const std::string& path);

// A new directory /tmp/PREFIX-XXXXXX; "" when it cannot be made.
std::string MakeTempDir(const std::string& prefix);

// How many descriptors the process holds: a file or port left open shows here.
int OpenDescriptorCount();

} // namespace testsupport
