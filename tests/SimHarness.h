// Runs the real korvane-sim over its pty for the Sim* tests, and reads what it says, logs and
// dumps. Requests are put together here from the protocol's definition (bit-by-bit FCS-16,
// escaping of 7E and 7D), independent of the simulator's and the system's own encoders.
#pragma once

#include "tests/WireSupport.h"
#include "tests/support/SimProcess.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace simtest {

using testsupport::Field;
using testsupport::MonoUs;

using Bytes = std::vector<uint8_t>;

// FCS-16 of RFC 1662 (reflected 0x8408, start FFFF, complemented), bit by bit, and 7E ... 7E
// with 7E and 7D escaped in between.
inline uint16_t Fcs16(const Bytes& bytes) {
    return wire::Fcs16Bitwise(bytes);
}
using wire::Escape;
// A request or reply: address, 13, 02, 00, L, one parameter, FCS low and high, escaped.
Bytes Frame(uint8_t slave, uint8_t id, const Bytes& value);
// The value bytes of a 16-bit number, high byte first.
Bytes Word(uint16_t value);

// A reply taken apart: the unescaped body between the flags (FCS included).
struct Parsed {
    bool framed = false; // starts and ends with 7E
    bool fcsOk = false;
    Bytes body;
    uint8_t slave = 0, id = 0;
    Bytes value;
};
Parsed Parse(const Bytes& wire);

// Intel HEX records to a map from address (as in the file) times `unit` plus offset to byte.
std::map<uint32_t, uint8_t> LoadHex(const std::string& path, unsigned unit, bool* ok);

class Sim {
public:
    // Starts korvane-sim with these arguments (besides --log and --hex-dir in a fresh
    // directory) and opens the host's end of the pty. Check Ok() after.
    explicit Sim(const std::vector<std::string>& args, bool open = true);
    ~Sim();

    bool Ok() const { return m_fd >= 0 || (!m_open && m_process && m_process->Ok()); }
    const std::string& Path() const { return m_process->Path(); }
    const std::string& Dir() const { return m_dir; }
    int Fd() const { return m_fd; }

    void Write(const Bytes& bytes);
    // One reply: skips up to the opening flag, reads to the closing flag; empty when none
    // comes within `ms`. Bytes skipped before the flag go to `before`.
    Bytes ReadFrame(int ms = 1000, Bytes* before = nullptr);
    // Everything that arrives within `ms`.
    Bytes ReadFor(int ms);
    // Writes a request and reads its reply.
    Bytes Ask(const Bytes& request, int ms = 1000) {
        Write(request);
        return ReadFrame(ms);
    }
    void CloseHost();
    // Sends `sig` and waits (bounded) for the exit; the exit status, or -1.
    int Stop(int sig = 15);
    // Waits (bounded) for the simulator to end by itself; the exit status, or -1.
    int WaitExit(int ms);

    std::vector<std::string> LogLines() const { return m_process->LogLines(); }
    // The log's request records, in order.
    std::vector<std::string> Requests() const;
    std::string DumpPath(uint8_t slave) const { return m_process->DumpPath(slave); }

private:
    std::string m_dir;
    std::unique_ptr<testsupport::SimProcess> m_process;
    int m_fd = -1;
    bool m_open;
};

// The text in single quotes for sh, quotes inside it escaped.
std::string ShellQuote(const std::string& text);
// What a shell command prints on its standard output.
std::string ShellOutput(const std::string& command);
// A file's SHA-256 as sha256sum gives it, 64 hex digits: a hash the program's own code did not
// make.
std::string Sha256Sum(const std::string& path);
// Writes DIR/Nand Store/MCU/Application.hex: a Stepper image of `bytes` bytes of `text` over
// and over, word-addressed as the slave counts it (srec_cat's S-records of 16 bytes, made Intel
// HEX by objcopy). "" when it worked, else what went wrong.
std::string WriteStepperImage(const std::string& ceRoot, size_t bytes, const std::string& text);

} // namespace simtest
