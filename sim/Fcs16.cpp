#include "sim/Fcs16.h"

namespace ksim {

uint16_t Fcs16(const uint8_t* bytes, size_t size) {
    uint16_t fcs = 0xffff;
    for (size_t i = 0; i < size; ++i) {
        fcs ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            fcs = (fcs & 1) ? static_cast<uint16_t>((fcs >> 1) ^ 0x8408)
                            : static_cast<uint16_t>(fcs >> 1);
    }
    return static_cast<uint16_t>(fcs ^ 0xffff);
}

} // namespace ksim
