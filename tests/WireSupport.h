// Frames spelled out for tests, independently of the code under test: a bitwise FCS-16 and an
// escaper that follow the protocol's definition directly.
#pragma once

#include "windows.h"

#include <vector>

namespace wire {

using Bytes = std::vector<BYTE>;

inline WORD Fcs16Bitwise(const Bytes& bytes) {
    WORD fcs = 0xffff;
    for (BYTE b : bytes) {
        fcs ^= b;
        for (int i = 0; i < 8; ++i)
            fcs = (fcs & 1) ? static_cast<WORD>((fcs >> 1) ^ 0x8408) : static_cast<WORD>(fcs >> 1);
    }
    return static_cast<WORD>(fcs ^ 0xffff);
}

// 7E, the body with 7E and 7D escaped, 7E.
inline Bytes Escape(const Bytes& body) {
    Bytes out = {0x7e};
    for (BYTE b : body) {
        if (b == 0x7e || b == 0x7d) {
            out.push_back(0x7d);
            out.push_back(static_cast<BYTE>(b ^ 0x20));
        } else {
            out.push_back(b);
        }
    }
    out.push_back(0x7e);
    return out;
}

// 7E, the body with its FCS appended and 7E/7D escaped, 7E.
inline Bytes Frame(const Bytes& body) {
    Bytes withFcs = body;
    WORD fcs = Fcs16Bitwise(body);
    withFcs.push_back(LOBYTE(fcs));
    withFcs.push_back(HIBYTE(fcs));
    return Escape(withFcs);
}

// A frame from `address` whose parameter block is `block`, declared `declared` bytes long.
inline Bytes WithBlock(BYTE address, const Bytes& block, BYTE declared) {
    Bytes body = {address, 0x13, 0x02, 0x00, declared};
    body.insert(body.end(), block.begin(), block.end());
    return Frame(body);
}

inline Bytes WithBlock(BYTE address, const Bytes& block) {
    return WithBlock(address, block, static_cast<BYTE>(block.size()));
}

} // namespace wire
