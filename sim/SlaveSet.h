// The six slaves and what each command does to them and answers.
#pragma once

#include "sim/Request.h"
#include "sim/SlaveMemory.h"

#include <cstdint>
#include <vector>

namespace ksim {

// How the slaves behave where an operator may choose.
struct SlaveBehaviour {
    uint16_t eraseAnswer = 0; // 0 erases; anything else refuses the erase with that answer
    uint8_t status = 0;       // what GetStatus reports
    int onlySlave = -1;       // the one slave that behaves so; -1: every slave
};

struct Answer {
    bool reply = false;         // Reset answers nothing
    uint8_t id = 0;             // the parameter of the reply: the command's identifier
    std::vector<uint8_t> value; // its value
    size_t bytes = 0;           // memory bytes the command erased, wrote or read
};

class SlaveSet {
public:
    explicit SlaveSet(const SlaveBehaviour& behaviour);

    // Carries out a valid request and says what to answer.
    Answer Handle(const Request& request);

    SlaveMemory* Find(uint8_t address);
    const std::vector<SlaveMemory>& Slaves() const { return m_slaves; }

private:
    SlaveBehaviour m_behaviour;
    std::vector<SlaveMemory> m_slaves;
};

} // namespace ksim
