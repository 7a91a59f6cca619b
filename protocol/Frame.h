// One frame of the slave protocol, a request on its way out or a reply that came back.
//
// Wire form: 7E, address, control 13, type, sub-type, block length L, L bytes of parameters
// (identifier, length n, n value bytes, numbers most significant first), FCS-16 low then high
// over address..last parameter byte, 7E. Inside the flags 7E goes out as 7D 5E and 7D as 7D 5D.
#pragma once

#include "windows.h"
#include "afxcoll.h"

// The flag that opens and closes every frame, and the control byte of every request: an
// unnumbered-information frame with the poll bit set.
const BYTE FRAME_FLAG = 0x7e;
const BYTE FRAME_CONTROL = 0x13;

class CFrame {
public:
    // A request with its header and no parameters: 7E address 13 type subType 00, count 6.
    CFrame(BYTE type, BYTE address, BYTE subType);
    // A reply from the bytes received, both flags included; unescaped at once.
    CFrame(const BYTE* raw, UINT length);
    CFrame();
    // 7E, address, control and `length` bytes of data.
    CFrame(BYTE address, BYTE control, const BYTE* data, BYTE length);
    virtual ~CFrame();

    // Building a request.
    DWORD AddParam(BYTE id, BYTE width, DWORD value);
    DWORD AddParam(BYTE id);
    DWORD AddDataParam(BYTE id, BYTE length, WORD address, UINT count, const BYTE* data);
    void SetControl(BYTE control);
    DWORD AppendFcs();
    DWORD Escape();

    // Moving the bytes.
    DWORD GetByteCount(UINT* count) const;
    DWORD CopyBytes(BYTE* buffer) const;

    // Checking and reading a reply; CheckFcs first, it takes the two FCS bytes off the count.
    DWORD CheckFcs();
    DWORD CheckStructure() const;
    DWORD FindParam(BYTE id, BYTE* position) const;
    DWORD GetParamByte(BYTE id, BYTE width, BYTE* value) const;
    DWORD GetParamWord(BYTE id, BYTE width, WORD* value) const;
    DWORD GetParamLong(BYTE id, BYTE width, DWORD* value) const;
    DWORD GetParamData(BYTE id, BYTE* buffer, BYTE capacity) const;
    // The length byte of the first parameter with `id`.
    DWORD GetParamLength(BYTE id, BYTE* length) const;

    BYTE GetAddress() const;
    BYTE GetSendSequence() const;
    BYTE GetReceiveSequence() const;

private:
    void Append(BYTE value);
    DWORD Unescape();
    BYTE HeaderByte(UINT index) const;
    WORD ComputeFcs(UINT first, UINT last) const;
    DWORD LocateValue(BYTE id, UINT bytesRead, UINT* position) const;

    CByteArray m_bytes;
    DWORD m_count;
};
