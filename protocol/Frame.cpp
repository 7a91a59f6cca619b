#include "protocol/Frame.h"

#include "protocol/Fcs16.h"
#include "protocol/ResultCodes.h"

#include <cstring>

namespace {

const BYTE ESCAPE = 0x7d;
const BYTE ESCAPED_FLAG = 0x5e;
const BYTE ESCAPED_ESCAPE = 0x5d;
const INT_PTR REQUEST_ARRAY_SIZE = 255;
const UINT HEADER_SIZE = 6; // flag, address, control, type, sub-type, block length
const UINT BLOCK_LENGTH_AT = 5;

} // namespace

CFrame::CFrame(BYTE type, BYTE address, BYTE subType) : m_count(0) {
    m_bytes.SetSize(REQUEST_ARRAY_SIZE, -1);
    m_bytes[0] = FRAME_FLAG;
    m_bytes[1] = address;
    m_bytes[2] = FRAME_CONTROL;
    m_bytes[3] = type;
    m_bytes[4] = subType;
    m_bytes[5] = 0;
    m_count = HEADER_SIZE;
}

CFrame::CFrame(const BYTE* raw, UINT length) : m_count(0) {
    m_bytes.SetSize(length, -1);
    if (length > 0)
        std::memcpy(m_bytes.GetData(), raw, length);
    m_count = length;
    Unescape();
}

CFrame::CFrame() : m_count(0) {}

CFrame::CFrame(BYTE address, BYTE control, const BYTE* data, BYTE length) : m_count(0) {
    m_bytes.SetSize(REQUEST_ARRAY_SIZE, -1);
    Append(FRAME_FLAG);
    Append(address);
    Append(control);
    for (UINT i = 0; i < length; ++i)
        Append(data[i]);
}

CFrame::~CFrame() {}

// Every append writes at the count; a request that outgrows its 255 bytes grows the array
// rather than writing past it.
void CFrame::Append(BYTE value) {
    if (static_cast<INT_PTR>(m_count) >= m_bytes.GetSize())
        m_bytes.SetSize(m_count + 1, -1);
    m_bytes[m_count] = value;
    ++m_count;
}

DWORD CFrame::AddParam(BYTE id, BYTE width, DWORD value) {
    Append(id);
    Append(width);
    if (width != 0) {
        if (width > 4)
            return ERR_BAD_ARGUMENT;
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            Append(static_cast<BYTE>(value >> shift));
    }
    m_bytes[BLOCK_LENGTH_AT] = static_cast<BYTE>(m_bytes[BLOCK_LENGTH_AT] + 2 + width);
    return ERR_OK;
}

DWORD CFrame::AddParam(BYTE id) {
    return AddParam(id, 0, 0);
}

// The block length follows `length`, not `count`: the caller says what the slave is told.
DWORD CFrame::AddDataParam(BYTE id, BYTE length, WORD address, UINT count, const BYTE* data) {
    Append(id);
    Append(length);
    Append(HIBYTE(address));
    Append(LOBYTE(address));
    for (UINT i = 0; i < count; ++i)
        Append(data[i]);
    m_bytes[BLOCK_LENGTH_AT] = static_cast<BYTE>(m_bytes[BLOCK_LENGTH_AT] + 2 + length);
    return ERR_OK;
}

void CFrame::SetControl(BYTE control) {
    m_bytes[2] = control;
}

// FCS over the bytes at [first, end), complemented.
WORD CFrame::ComputeFcs(UINT first, UINT end) const {
    WORD fcs = FCS16_INIT;
    const BYTE* bytes = m_bytes.GetData();
    for (UINT i = first; i < end; ++i)
        fcs = Fcs16Update(fcs, bytes[i]);
    return static_cast<WORD>(fcs ^ 0xffff);
}

DWORD CFrame::AppendFcs() {
    WORD fcs = ComputeFcs(1, m_count);
    Append(LOBYTE(fcs));
    Append(HIBYTE(fcs));
    return ERR_OK;
}

DWORD CFrame::Escape() {
    UINT i = 1;
    while (i < m_count) {
        BYTE value = m_bytes[i];
        if (value == FRAME_FLAG) {
            m_bytes[i] = ESCAPE;
            m_bytes.InsertAt(i + 1, ESCAPED_FLAG);
            ++m_count;
            i += 2;
        } else if (value == ESCAPE) {
            m_bytes.InsertAt(i + 1, ESCAPED_ESCAPE);
            ++m_count;
            i += 2;
        } else {
            ++i;
        }
    }
    Append(FRAME_FLAG);
    m_bytes.SetSize(m_count, -1);
    return ERR_OK;
}

DWORD CFrame::GetByteCount(UINT* count) const {
    *count = m_count;
    return ERR_OK;
}

DWORD CFrame::CopyBytes(BYTE* buffer) const {
    AFX_CHECK(static_cast<INT_PTR>(m_count) <= m_bytes.GetSize());
    if (m_count > 0)
        std::memcpy(buffer, m_bytes.GetData(), m_count);
    return ERR_OK;
}

// Takes the escape pairs out and drops the last byte, the closing flag of a whole reply.
// A 7D followed by anything but 5E or 5D stays as two bytes.
DWORD CFrame::Unescape() {
    for (UINT i = 1; i + 1 < m_count; ++i) {
        if (m_bytes[i] != ESCAPE)
            continue;
        BYTE next = m_bytes[i + 1];
        if (next == ESCAPED_FLAG) {
            m_bytes[i] = FRAME_FLAG;
        } else if (next != ESCAPED_ESCAPE) {
            continue;
        }
        m_bytes.RemoveAt(i + 1);
        --m_count;
    }
    if (m_count > 0) {
        --m_count;
        m_bytes.RemoveAt(m_count);
    }
    return ERR_OK;
}

// The two FCS bytes leave the count whether or not they match.
DWORD CFrame::CheckFcs() {
    if (m_count < 5)
        return ERR_FCS;
    WORD computed = ComputeFcs(1, m_count - 2);
    WORD received = static_cast<WORD>(m_bytes[m_count - 1] * 256 + m_bytes[m_count - 2]);
    m_count -= 2;
    return computed == received ? ERR_OK : ERR_FCS;
}

// Walks the length bytes of the block. A parameter in the last two bytes of the block is not
// examined; the lengths need not fill the block exactly, but neither the block nor any
// parameter may reach past the bytes that arrived.
DWORD CFrame::CheckStructure() const {
    if (m_count <= 8)
        return ERR_BAD_REPLY;
    UINT blockLength = m_bytes[BLOCK_LENGTH_AT];
    if (blockLength == 0)
        return ERR_EMPTY_REPLY;
    if (HEADER_SIZE + blockLength > m_count)
        return ERR_BAD_REPLY;
    WORD position = 7;
    while (position < blockLength + 5) {
        BYTE length = m_bytes[position];
        if (length == 0 || position + 1u + length > m_count)
            return ERR_BAD_REPLY;
        position = static_cast<WORD>(position + length + 2);
    }
    return ERR_OK;
}

// Finds the first parameter with `id` and checks that its length byte and its value lie
// within the reply. A step that carries the walk past the last byte means a length that
// points past the reply: ERR_BAD_REPLY rather than a read outside it.
static DWORD WalkParams(const CByteArray& bytes, UINT count, BYTE id, UINT* position) {
    UINT offset = HEADER_SIZE;
    while (offset < count) {
        if (bytes[offset] == id) {
            if (offset + 1 >= count || offset + 2 + bytes[offset + 1] > count)
                return ERR_BAD_REPLY;
            *position = offset;
            return ERR_OK;
        }
        if (offset + 1 >= count)
            return ERR_BAD_REPLY;
        offset += bytes[offset + 1] + 2u;
    }
    return offset == count ? ERR_PARAM_NOT_FOUND : ERR_BAD_REPLY;
}

DWORD CFrame::FindParam(BYTE id, BYTE* position) const {
    UINT offset = 0;
    DWORD result = WalkParams(m_bytes, m_count, id, &offset);
    if (result != ERR_OK)
        return result;
    if (offset > 0xff)
        return ERR_BAD_REPLY; // only a reply longer than the link ever collects
    *position = static_cast<BYTE>(offset);
    return ERR_OK;
}

// The parameter's offset, once it is known to have a value and `bytesRead` bytes from its
// start lie inside the array. A reader may take more bytes than the length says (a word from a
// one-byte value): behind a value at the end of the block they are the FCS bytes, which stay in
// the array after CheckFcs; nothing is ever read behind them.
DWORD CFrame::LocateValue(BYTE id, UINT bytesRead, UINT* position) const {
    BYTE offset = 0;
    DWORD result = FindParam(id, &offset);
    if (result != ERR_OK)
        return result;
    if (m_bytes[offset + 1] == 0 || offset + 2u + bytesRead > static_cast<UINT>(m_bytes.GetSize()))
        return ERR_BAD_REPLY;
    *position = offset;
    return ERR_OK;
}

DWORD CFrame::GetParamByte(BYTE id, BYTE width, BYTE* value) const {
    if (width != 1)
        return ERR_BAD_ARGUMENT;
    UINT p = 0;
    DWORD result = LocateValue(id, 1, &p);
    if (result != ERR_OK)
        return result;
    *value = m_bytes[p + 2];
    return ERR_OK;
}

// Always two bytes, high first, whatever the parameter's length says.
DWORD CFrame::GetParamWord(BYTE id, BYTE width, WORD* value) const {
    if (width > 2)
        return ERR_BAD_ARGUMENT;
    UINT p = 0;
    DWORD result = LocateValue(id, 2, &p);
    if (result != ERR_OK)
        return result;
    *value = static_cast<WORD>(m_bytes[p + 2] * 256 + m_bytes[p + 3]);
    return ERR_OK;
}

DWORD CFrame::GetParamLong(BYTE id, BYTE width, DWORD* value) const {
    if (width != 3 && width != 4)
        return ERR_BAD_ARGUMENT;
    UINT p = 0;
    DWORD result = LocateValue(id, width, &p);
    if (result != ERR_OK)
        return result;
    DWORD v = 0;
    for (UINT i = 0; i < width; ++i)
        v = (v << 8) | m_bytes[p + 2 + i];
    *value = v;
    return ERR_OK;
}

DWORD CFrame::GetParamLength(BYTE id, BYTE* length) const {
    BYTE p = 0;
    DWORD result = FindParam(id, &p);
    if (result != ERR_OK)
        return result;
    *length = m_bytes[p + 1];
    return ERR_OK;
}

// A value longer than the caller's buffer is refused whole, never cut.
DWORD CFrame::GetParamData(BYTE id, BYTE* buffer, BYTE capacity) const {
    BYTE p = 0;
    DWORD result = FindParam(id, &p);
    if (result != ERR_OK)
        return result;
    BYTE length = m_bytes[p + 1];
    if (length == 0)
        return ERR_BAD_REPLY;
    if (length > capacity)
        return ERR_BAD_ARGUMENT;
    std::memcpy(buffer, m_bytes.GetData() + p + 2, length);
    return ERR_OK;
}

// A reply as short as 7E 7E has no header bytes; asking for them gives 0, not a read past it.
BYTE CFrame::HeaderByte(UINT index) const {
    return static_cast<INT_PTR>(index) < m_bytes.GetSize() ? m_bytes[index] : 0;
}

BYTE CFrame::GetAddress() const {
    return HeaderByte(1);
}

BYTE CFrame::GetSendSequence() const {
    return static_cast<BYTE>((HeaderByte(2) >> 1) & 7);
}

BYTE CFrame::GetReceiveSequence() const {
    return static_cast<BYTE>((HeaderByte(2) >> 5) & 7);
}
