// What the dialog and update tests share: the real korvane-sim on a pty as COM6:, a clock on
// which waits of the system cost no real time, HEX files written for a test, the dialog shown
// with the scripted back end, and the simulator's log and memory afterwards.
#pragma once

#include "app/KorvaneDlg.h"
#include "platform/ui/ScriptedBackEnd.h"

#include "SimHarness.h"
#include "tests/support/FastWaitClock.h"
#include "tests/support/Files.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace flashtest {

using Bytes = std::vector<uint8_t>;
using testsupport::FastWaitClock;
using testsupport::OpenDescriptorCount;

// One Intel HEX record line: count, address, type, data, checksum, "\n".
std::string HexRecord(uint16_t address, uint8_t type, const Bytes& data);
// Records of `recordLength` bytes of `data` from `address` on (in the file's own unit: the
// address moves by recordLength / unit per record), then the end-of-file record.
std::string HexFile(uint16_t address, const Bytes& data, unsigned unit, size_t recordLength = 16);
// Bytes that differ from each other and from 0xFF, so that misplaced data shows.
Bytes Pattern(size_t count, uint8_t seed = 1);

// One command as the simulator logged it: "Erase 1 0x0000", "Reset 20", "GetStatus 20".
std::vector<std::string> Commands(const simtest::Sim& sim);

class FlashRig {
public:
    // The simulator starts with these options (nullopt-like: `withSim` false starts none, and
    // COM6: then names a device that does not exist).
    explicit FlashRig(const std::vector<std::string>& simArgs = {}, bool withSim = true);
    ~FlashRig();

    bool Ok() const { return !m_sim || m_sim->Ok(); }
    simtest::Sim& Sim() { return *m_sim; }
    // Starts (another) simulator and maps COM6: to it; the stack opens it on next use.
    bool StartSim(const std::vector<std::string>& simArgs);

    // Writes a file for the test and returns its path.
    std::wstring WriteFile(const std::string& name, const std::string& text);
    std::string Dir() const { return m_dir; }

    // Shows the main dialog and runs the script on it.
    INT_PTR Run(const std::function<void(CKorvaneDlg&, CScriptedBackEnd&)>& script);
    // Shows the dialog, puts the file into the file field, picks the mode (and in Stepper mode
    // the combo entry, -1 for none), presses "Flash!" and closes.
    void Flash(const std::wstring& path, bool od, int comboIndex = 0);

    // Waits (at most 2 s) until the simulator has logged `count` requests, and 50 ms more for
    // any that should not come: a Reset has no answer, so the run may end before the
    // simulator has read it, and closing the port could lose it.
    void WaitForRequests(size_t count);
    // Closes the port and stops the simulator, which then writes its dumps (once; later
    // calls do nothing).
    void StopSim();
    // The programmed memory the simulator dumped for a slave, by byte of the image; stops the
    // simulator first.
    std::map<uint32_t, uint8_t> Memory(uint8_t slave, unsigned unit);

    CScriptedBackEnd ui;
    FastWaitClock clock;

private:
    std::unique_ptr<simtest::Sim> m_sim;
    bool m_simStopped = false;
    std::string m_dir;
    std::string m_oldCom6;
    bool m_hadCom6 = false;
};

// The slave's memory is the image over the whole blocks programmed from start: the file's
// bytes, then 0xFF behind the end up to the end of the last block.
void ExpectProgrammed(const std::map<uint32_t, uint8_t>& memory, uint32_t start, const Bytes& data,
                      size_t blocks, size_t blockLength);

} // namespace flashtest
