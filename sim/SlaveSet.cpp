#include "sim/SlaveSet.h"

namespace ksim {

SlaveSet::SlaveSet(const SlaveBehaviour& behaviour) : m_behaviour(behaviour) {
    for (uint8_t address : AllSlaveAddresses())
        m_slaves.emplace_back(address, *TargetOfSlave(address));
}

SlaveMemory* SlaveSet::Find(uint8_t address) {
    for (SlaveMemory& slave : m_slaves)
        if (slave.Address() == address)
            return &slave;
    return nullptr;
}

Answer SlaveSet::Handle(const Request& request) {
    Answer a;
    SlaveMemory* slave = Find(request.slave);
    if (!slave)
        return a;
    a.reply = true;
    a.id = static_cast<uint8_t>(request.command);
    const bool chosen = m_behaviour.onlySlave < 0 || m_behaviour.onlySlave == request.slave;
    const uint16_t eraseAnswer = chosen ? m_behaviour.eraseAnswer : 0;
    switch (request.command) {
    case Command::ReadData: {
        size_t count = request.readCount ? request.readCount : slave->Kind().blockLength;
        size_t offset = request.hasAddress ? size_t(request.address) * slave->Kind().addressUnit
                                           : slave->m_readCursor;
        a.value = slave->ReadOffset(offset, count);
        a.bytes = a.value.size();
        size_t next = offset + a.value.size();
        slave->m_readCursor = next >= slave->Size() ? 0 : next;
        break;
    }
    case Command::Reset:
        a.reply = false;
        slave->m_readCursor = 0;
        break;
    case Command::GetStatus:
        a.value = {chosen ? m_behaviour.status : uint8_t(0)};
        break;
    case Command::Erase:
        // A refused erase leaves the memory as it was.
        if (eraseAnswer == 0)
            a.bytes = slave->Erase(request.address);
        a.value = {static_cast<uint8_t>(eraseAnswer >> 8),
                   static_cast<uint8_t>(eraseAnswer & 0xff)};
        break;
    case Command::Program:
        slave->Program(request.address, request.data.data(), request.data.size());
        a.bytes = request.data.size();
        a.value = {0x00, 0x00};
        break;
    }
    return a;
}

} // namespace ksim
