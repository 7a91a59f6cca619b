// Files as the line's trust checks see them: a file read whole through one descriptor together
// with its owner and mode, so that the bytes judged are the bytes used, and a folder's owner and
// mode.
#pragma once

#include <cstddef>
#include <string>

namespace host {

struct FileFacts {
    unsigned owner = 0;          // the owner's user id
    bool othersCanWrite = false; // the group or anyone else may write it
};

enum class ReadStatus {
    Read,       // *bytes hold the whole file
    Missing,    // no such file
    NotRegular, // a folder, a FIFO, a device: nothing was read from it
    TooLarge,   // more than maxBytes
    Failed,     // the system refused (*error says why)
};

// Reads the regular file at path whole, at most maxBytes of it. A FIFO neither blocks the
// open nor the read: it is refused as not regular.
ReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string* bytes,
                         FileFacts* facts, std::string* error);

// The facts of the folder at path (following links). False with *error (the system's words)
// when it cannot be looked at or is no folder.
bool FolderFacts(const std::string& path, FileFacts* facts, std::string* error);

// Whether anything stands at path, a dangling link included.
bool NameExists(const std::string& path);

// The user the program runs as (its effective user id).
unsigned CurrentUser();

} // namespace host
