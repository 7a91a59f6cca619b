#include "protocol/Targets.h"

#include <cstdio>

namespace {

const BYTE s_odSlaves[] = {OD_SLAVE_ADDRESS};

} // namespace

const TARGET_KIND g_odTarget = {"OD", s_odSlaves, 1, OD_BLOCK_LENGTH, OD_ADDRESS_UNIT, TRUE, "%u"};
const TARGET_KIND g_stepperTarget = {"Stepper",
                                     STEPPER_SLAVE_ADDRESSES,
                                     STEPPER_SLAVE_COUNT,
                                     STEPPER_BLOCK_LENGTH,
                                     STEPPER_ADDRESS_UNIT,
                                     FALSE,
                                     "0x%02X"};
const TARGET_KIND* const g_targetKinds[2] = {&g_odTarget, &g_stepperTarget};

bool TARGET_KIND::HasSlave(BYTE address) const {
    for (int i = 0; i < slaveCount; ++i) {
        if (slaves[i] == address)
            return true;
    }
    return false;
}

std::string TARGET_KIND::SlaveText(BYTE address) const {
    char text[8];
    std::snprintf(text, sizeof text, slaveFormat, static_cast<unsigned>(address));
    return text;
}

const TARGET_KIND* TargetOfSlave(BYTE address) {
    for (const TARGET_KIND* target : g_targetKinds) {
        if (target->HasSlave(address))
            return target;
    }
    return nullptr;
}

std::vector<BYTE> AllSlaveAddresses() {
    std::vector<BYTE> addresses;
    for (const TARGET_KIND* target : g_targetKinds)
        addresses.insert(addresses.end(), target->slaves, target->slaves + target->slaveCount);
    return addresses;
}

std::string SlaveListText(const TARGET_KIND& target, const char* last) {
    std::string text;
    for (int i = 0; i < target.slaveCount; ++i) {
        if (i > 0)
            text += i + 1 == target.slaveCount ? std::string(" ") + last + " " : ", ";
        text += target.SlaveText(target.slaves[i]);
    }
    return text;
}
