// Arbitrary bytes as a received reply: construction, checks and every reader must stay inside
// the reply, whatever its lengths claim.
#include "protocol/Frame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte picks the identifier and the widths asked for; the rest is the reply.
    const BYTE id = data[0];
    CFrame reply(data + 1, static_cast<UINT>(size - 1));
    reply.CheckFcs();
    reply.CheckStructure();

    BYTE position = 0, b = 0;
    WORD w = 0;
    DWORD l = 0;
    BYTE buffer[255];
    reply.FindParam(id, &position);
    for (BYTE width = 0; width <= 5; ++width) {
        reply.GetParamByte(id, width, &b);
        reply.GetParamWord(id, width, &w);
        reply.GetParamLong(id, width, &l);
    }
    reply.GetParamData(id, buffer, static_cast<BYTE>(id));
    reply.GetParamData(id, buffer, 255);
    reply.GetAddress();
    reply.GetSendSequence();
    reply.GetReceiveSequence();
    return 0;
}
