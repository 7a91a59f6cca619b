#include "sim/SlaveKind.h"

#include <initializer_list>

namespace ksim {

const SlaveKind g_odSlave = {"OD", 1, 0x10000, 64};
const SlaveKind g_stepperSlave = {"Stepper", 2, 0x20000, 128};

const uint8_t g_slaveAddresses[6] = {0x01, 0x14, 0x15, 0x18, 0x1c, 0x1d};

const SlaveKind* FindSlaveKind(uint8_t address) {
    if (address == 0x01)
        return &g_odSlave;
    for (uint8_t stepper : {0x14, 0x15, 0x18, 0x1c, 0x1d})
        if (address == stepper)
            return &g_stepperSlave;
    return nullptr;
}

} // namespace ksim
