#include "sim/Reply.h"

#include "sim/Fcs16.h"

#include <initializer_list>

namespace ksim {

std::vector<uint8_t> ReplyBody(uint8_t slave, uint8_t id, const std::vector<uint8_t>& value) {
    // One parameter of at most 253 value bytes keeps the block length within its byte.
    size_t n = value.size() > 253 ? 253 : value.size();
    std::vector<uint8_t> body;
    body.reserve(n + 9);
    for (uint8_t b :
         {slave, uint8_t(0x13), uint8_t(0x02), uint8_t(0x00), uint8_t(n + 2), id, uint8_t(n)})
        body.push_back(b);
    for (size_t i = 0; i < n; ++i)
        body.push_back(value[i]);
    uint16_t fcs = Fcs16(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(fcs & 0xff));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    return body;
}

std::vector<uint8_t> WireFrame(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> wire;
    wire.reserve(body.size() * 2 + 2);
    wire.push_back(0x7e);
    for (uint8_t b : body) {
        if (b == 0x7e || b == 0x7d) {
            wire.push_back(0x7d);
            wire.push_back(static_cast<uint8_t>(b ^ 0x20));
        } else {
            wire.push_back(b);
        }
    }
    wire.push_back(0x7e);
    return wire;
}

} // namespace ksim
