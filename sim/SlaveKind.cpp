#include "sim/SlaveKind.h"

#include "protocol/Slaves.h"

namespace ksim {

// Each address step of a slave's 16-bit address space is unitBytes of memory.
const SlaveKind g_odSlave = {"OD", OD_ADDRESS_UNIT, OD_ADDRESS_UNIT * 0x10000u, OD_BLOCK_LENGTH};
const SlaveKind g_stepperSlave = {"Stepper", STEPPER_ADDRESS_UNIT, STEPPER_ADDRESS_UNIT * 0x10000u,
                                  STEPPER_BLOCK_LENGTH};

std::vector<uint8_t> SlaveAddresses() {
    std::vector<uint8_t> addresses(1 + STEPPER_SLAVE_COUNT, OD_SLAVE_ADDRESS);
    for (int i = 0; i < STEPPER_SLAVE_COUNT; ++i)
        addresses[1 + size_t(i)] = STEPPER_SLAVE_ADDRESSES[i];
    return addresses;
}

const SlaveKind* FindSlaveKind(uint8_t address) {
    if (address == OD_SLAVE_ADDRESS)
        return &g_odSlave;
    for (uint8_t stepper : STEPPER_SLAVE_ADDRESSES)
        if (address == stepper)
            return &g_stepperSlave;
    return nullptr;
}

} // namespace ksim
