// A file read as it grows, line by line, the way a journal is followed: from a byte offset,
// whole lines only (a last line without its line break is not yet written), and it can tell
// when its name has been given to another file (logrotate renamed it away).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct TailLine {
    uint64_t start = 0, end = 0; // byte offsets: the line, and just after its line break
    std::string text;            // without the line break
};

class FileTail {
public:
    FileTail() = default;
    ~FileTail();
    FileTail(const FileTail&) = delete;
    FileTail& operator=(const FileTail&) = delete;

    // Opens path to read from byte offset on; false with *error (the system's words). A file
    // shorter than offset (truncated) is read from its start.
    bool Open(const std::string& path, uint64_t offset, std::string* error);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();
    // Appends the whole lines written since the last call; false with *error on a read error.
    bool ReadLines(std::vector<TailLine>* lines, std::string* error);
    // Reads again from offset on (lines handed out but not taken are read again).
    void Rewind(uint64_t offset);
    // Whether a part of a line waits for its line break.
    bool HasPartLine() const { return !m_part.empty(); }
    // The file's identity (its inode number), to tell it from a new file of the same name.
    uint64_t Identity() const { return m_identity; }

private:
    int m_fd = -1;
    uint64_t m_identity = 0;
    uint64_t m_offset = 0; // where the next read starts
    std::string m_part;    // bytes after the last line break, read already
};

// The identity (inode number) of the file at path; 0 when there is none.
uint64_t FileIdentity(const std::string& path);

// Replaces the file at path with bytes so that a crash leaves the old or the new, never a
// mix: a new file beside it, synced, renamed over it, and the folder synced.
bool ReplaceFileSynced(const std::string& path, const std::string& bytes, std::string* error);

// Whether the group or others may read the file at path; false with *error when it cannot be
// looked at.
bool OthersCanRead(const std::string& path, bool* canRead, std::string* error);

} // namespace host
