// The two kinds of target, each in one row: what the update, the commands, the record and the
// simulator know of OD and Stepper comes from here. The values themselves stand in Slaves.h,
// where the dialog takes them.
#pragma once

#include "protocol/Slaves.h"

#include <string>
#include <vector>

struct TARGET_KIND {
    const char* name;        // "OD" or "Stepper", as its radio button says
    const BYTE* slaves;      // its slave addresses, in the order the dialog's list shows them
    int slaveCount;          //
    BYTE blockLength;        // data bytes in one Program
    UINT addressUnit;        // bytes of the image per address step of the slave's memory
    BOOL resetBeforeRead;    // the slave is reset, and given 2 s, before the file is read
    const char* slaveFormat; // a slave's text, as its list entry shows it: "1", "0x1C"

    // The slave's memory: 16-bit addresses of addressUnit bytes each.
    size_t MemoryBytes() const { return size_t(addressUnit) * 0x10000u; }
    bool HasSlave(BYTE address) const;
    std::string SlaveText(BYTE address) const;
};

extern const TARGET_KIND g_odTarget;
extern const TARGET_KIND g_stepperTarget;
// Both, OD first.
extern const TARGET_KIND* const g_targetKinds[2];

// The target a slave address belongs to; null for an address no slave has.
const TARGET_KIND* TargetOfSlave(BYTE address);
// Every slave address, OD's first.
std::vector<BYTE> AllSlaveAddresses();
// "0x14, 0x15, 0x18, 0x1C or 0x1D": the target's slaves as a sentence names them, with `last`
// ("or", "and") before the last.
std::string SlaveListText(const TARGET_KIND& target, const char* last = "or");
