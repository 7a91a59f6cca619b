// FCS-16 of RFC 1662: reflected polynomial 0x8408, one table lookup per byte.
#pragma once

#include "windows.h"

extern const WORD g_fcs16Table[256];

const WORD FCS16_INIT = 0xffff;

inline WORD Fcs16Update(WORD fcs, BYTE value) {
    return static_cast<WORD>((fcs >> 8) ^ g_fcs16Table[(fcs ^ value) & 0xff]);
}
