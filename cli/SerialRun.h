// A run's serial numbers, around the update: the journal opened (its stale reservations turned
// void and said), a number reserved for each slave before anything is sent, the image patched
// for each, and the outcome committed before the slave's record is written.
#pragma once

#include "cli/FlashRecord.h"
#include "line/Approval.h"
#include "line/SerialJournal.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A gang's parent gives each run its numbers, reserved in the parent's name, through this
// variable ("v1,v2": one for each slave, in order).
extern const char SERIAL_VALUES_VARIABLE[]; // KORVANE_SERIAL_VALUES

class CSerialRun {
public:
    // Checks the recipe's [serial] against its image (its list read, its place in the data
    // records) and opens the station's journal. Returns -1 to go on (also without [serial]),
    // otherwise the exit status, its one line said on standard error. command: "flash".
    int Open(const char* command, line::Approval* approval, const TARGET_KIND& target);
    bool Active() const { return m_journal != nullptr; }

    // count numbers, all or none, held by this process: -1, or the exit status (8) said.
    int Reserve(size_t count, std::vector<std::string>* values);
    // The numbers a gang's parent gave this run (SERIAL_VALUES_VARIABLE), each checked to be
    // reserved by the parent: -1, or the exit status said (8).
    int TakeGiven(const std::string& given, size_t count, std::vector<std::string>* values);

    // The approved image with value written into it.
    std::vector<uint8_t> Patched(const std::string& value) const;
    // Commits the outcome of the slave that got value into *record (its serial key). False (the
    // one line said) when the journal failed: the run must end there.
    bool Settle(const std::string& value, FLASH_RECORD* record);
    // The values no slave got: void, or returned where the recipe reuses numbers (nothing was
    // written to a board with them).
    void Release(const std::vector<std::string>& values, bool sent);

private:
    int Fail(const line::Verdict& verdict) const;

    std::string m_command;
    const line::Approval* m_approval = nullptr;
    unsigned m_unit = 1;
    std::unique_ptr<line::SerialJournal> m_journal;
};

// Reserves slaves numbers for each of ports ports at once (all or none) into *byPort ("v1,v2"
// a port) and *all: -1, or the exit status said (8).
int ReserveForGang(CSerialRun& serial, size_t ports, size_t slaves,
                   std::vector<std::string>* byPort, std::vector<std::string>* all);

// Whether a failed slave's outcome shows that no Program request was written to it: the file,
// the port or the erase failed.
bool NoProgramWritten(const FLASH_RECORD& record);
