#include "sim/Request.h"

#include "sim/Fcs16.h"

namespace ksim {

namespace {

const uint8_t kControl = 0x13;
const uint8_t kType = 0x02;
const uint8_t kSubType = 0x00;
const size_t kHeader = 5; // address, control, type, sub-type, block length

// 7D 5E is 7E and 7D 5D is 7D; a 7D before anything else, or last, is a broken frame.
bool Unescape(const std::vector<uint8_t>& escaped, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        uint8_t b = escaped[i];
        if (b == 0x7d) {
            if (i + 1 == escaped.size())
                return false;
            uint8_t next = escaped[++i];
            if (next == 0x5e)
                b = 0x7e;
            else if (next != 0x5d)
                return false;
        }
        out.push_back(b);
    }
    return true;
}

std::string Number(unsigned value) {
    return std::to_string(value);
}

std::string Hex(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 15] + digits[value & 15];
}

// Takes the request by reference: the reason is often built from its bytes, and a by-value
// parameter could be moved from before the reason is.
DecodedRequest Refuse(DecodedRequest& decoded, std::string why) {
    decoded.valid = false;
    decoded.why = std::move(why);
    return std::move(decoded);
}

} // namespace

const char* CommandName(Command command) {
    switch (command) {
    case Command::ReadData:
        return "ReadData";
    case Command::Reset:
        return "Reset";
    case Command::GetStatus:
        return "GetStatus";
    case Command::Erase:
        return "Erase";
    case Command::Program:
        return "Program";
    }
    return "?";
}

DecodedRequest DecodeRequest(const std::vector<uint8_t>& escaped) {
    DecodedRequest d;
    if (!Unescape(escaped, d.raw))
        return Refuse(d, "bad escape");
    const std::vector<uint8_t>& b = d.raw;
    // For the log, as far as the frame got, trusted or not.
    if (!b.empty())
        d.slave = b[0];
    if (b.size() >= kHeader + 3) // a byte behind the header that is not the FCS
        d.command = b[kHeader];
    if (b.size() < kHeader + 2)
        return Refuse(d, "too short: " + Number(b.size()) + " bytes");

    size_t body = b.size() - 2;
    uint16_t fcs = static_cast<uint16_t>(b[body] | (b[body + 1] << 8));
    if (Fcs16(b.data(), body) != fcs)
        return Refuse(d, "bad FCS");

    const TARGET_KIND* kind = TargetOfSlave(b[0]);
    if (!kind)
        return Refuse(d, "no such slave");
    if (b[1] != kControl)
        return Refuse(d, "control byte " + Hex(b[1]) + ", not 0x13");
    if (b[2] != kType || b[3] != kSubType)
        return Refuse(d, "type " + Number(b[2]) + "/" + Number(b[3]) + ", not 2/0");
    size_t block = body - kHeader;
    if (b[4] != block)
        return Refuse(d, "block length " + Number(b[4]) + " but " + Number(block) +
                             " bytes in the block");
    if (block < 2)
        return Refuse(d, "no parameter");
    uint8_t id = b[kHeader];
    size_t n = b[kHeader + 1];
    if (2 + n != block)
        return Refuse(d,
                      "not one parameter: length " + Number(n) + " in a block of " + Number(block));
    if (id > 4)
        return Refuse(d, "unknown command " + Number(id));

    const uint8_t* value = &b[kHeader + 2];
    Request& r = d.request;
    r.slave = b[0];
    r.kind = kind;
    r.command = static_cast<Command>(id);
    auto address = [&]() {
        r.hasAddress = true;
        r.address = static_cast<uint16_t>((value[0] << 8) | value[1]);
    };
    switch (r.command) {
    case Command::Reset:
    case Command::GetStatus:
        if (n != 0)
            return Refuse(d, "value of " + Number(n) + " bytes where none belongs");
        break;
    case Command::ReadData:
        if (n != 0 && n != 2 && n != 3)
            return Refuse(d, "ReadData takes 0, 2 or 3 value bytes, not " + Number(n));
        if (n >= 2)
            address();
        if (n == 3) {
            r.readCount = value[2];
            if (r.readCount == 0 || r.readCount > 253)
                return Refuse(d, "ReadData count " + Number(r.readCount) + " outside 1 to 253");
        }
        break;
    case Command::Erase:
        if (n != 2)
            return Refuse(d, "Erase takes 2 value bytes, not " + Number(n));
        address();
        break;
    case Command::Program: {
        if (n != size_t(kind->blockLength) + 2)
            return Refuse(d, std::string(kind->name) + " Program takes " +
                                 Number(kind->blockLength) + " data bytes, not " +
                                 Number(n < 2 ? 0 : n - 2));
        address();
        size_t offset = size_t(r.address) * kind->addressUnit;
        if (offset + kind->blockLength > kind->MemoryBytes())
            return Refuse(d, "block runs past the end of memory");
        r.data.assign(value + 2, value + n);
        break;
    }
    }
    d.valid = true;
    return d;
}

} // namespace ksim
