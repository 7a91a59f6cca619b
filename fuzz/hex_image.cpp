// Arbitrary file contents through a real stream, in both modes: the loader must stay inside the
// image and write nothing from byte position 0x10000 on, whatever the lines hold.
#include "update/HexImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const size_t kDescribable = 0x10000;

// One image of exactly HEX_IMAGE_SIZE bytes on the heap, so a write past it hits a redzone.
BYTE* Image() {
    static BYTE* image = new BYTE[HEX_IMAGE_SIZE];
    return image;
}

void LoadOnce(std::vector<char>& contents, UINT multiplier) {
    static const std::vector<BYTE> untouched(HEX_IMAGE_SIZE - kDescribable, 0xFF);
    BYTE* image = Image();
    memset(image, 0xFF, HEX_IMAGE_SIZE);

    FILE* file = fmemopen(contents.data(), contents.size(), "r");
    if (file == nullptr)
        abort();
    WORD start = 0x1234, end = 0x5678;
    const int outcome = LoadHexImage(file, image, multiplier, &start, &end);
    fclose(file);

    if (outcome < HEX_LOADED || outcome > HEX_RANGE_ERROR)
        abort();
    if (outcome != HEX_LOADED && (start != 0x1234 || end != 0x5678))
        abort();
    if (memcmp(image + kDescribable, untouched.data(), untouched.size()) != 0)
        abort();
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Random bytes rarely carry a right checksum. This writes one into every line that holds hex
// digits in columns 1 to 8 and for all its data, so the fuzzer reaches the data, range and end
// paths. Columns are those of the loader: count, address and type in 1 to 8, data from 9.
void RepairChecksums(std::vector<char>& text) {
    static const char digits[] = "0123456789ABCDEF";
    size_t line = 0;
    while (line < text.size()) {
        size_t next = line;
        while (next < text.size() && text[next] != '\n')
            ++next;
        const char* p = text.data() + line;
        const size_t length = next - line;
        // The pairs that stand before the checksum: count, address (two), type, data.
        auto pair = [&](size_t k) {
            const size_t column = 1 + 2 * k;
            if (column + 1 >= length)
                return -1;
            const int high = HexValue(p[column]), low = HexValue(p[column + 1]);
            return high < 0 || low < 0 ? -1 : high * 16 + low;
        };
        if (length > 0 && p[0] == ':' && pair(0) >= 0) {
            const size_t pairs = 4 + static_cast<size_t>(pair(0));
            int sum = 0;
            size_t k = 0;
            for (; k < pairs && pair(k) >= 0; ++k)
                sum += pair(k);
            const size_t column = line + 1 + 2 * pairs;
            if (k == pairs && column + 1 < next) {
                const int checksum = (0x100 - (sum & 0xFF)) & 0xFF;
                text[column] = digits[checksum >> 4];
                text[column + 1] = digits[checksum & 0xF];
            }
        }
        line = next + 1;
    }
}

// Renders bytes as records with right checksums: count, address (high, low), type, then up to
// count data bytes, over and over. Valid files of many records reach every outcome, the range
// refusals near 0x10000 included.
std::vector<char> RenderRecords(const uint8_t* data, size_t size, bool crlf) {
    static const char digits[] = "0123456789ABCDEF";
    std::vector<char> text;
    auto put = [&](unsigned value) {
        text.push_back(digits[(value >> 4) & 0xF]);
        text.push_back(digits[value & 0xF]);
    };
    size_t i = 0;
    while (i + 4 <= size) {
        const unsigned count = data[i];
        unsigned sum = 0;
        text.push_back(':');
        for (size_t k = 0; k < 4; ++k, ++i) {
            put(data[i]);
            sum += data[i];
        }
        for (unsigned k = 0; k < count && i < size; ++k, ++i) {
            put(data[i]);
            sum += data[i];
        }
        put(0x100 - (sum & 0xFF));
        if (crlf)
            text.push_back('\r');
        text.push_back('\n');
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty file is tested on its own.
    if (size == 0)
        return 0;
    // The first byte chooses how the rest becomes the file: as it is, with checksums made
    // right, or rendered into records (with LF or CRLF line ends); and whether an end record
    // follows.
    const BYTE mode = data[0];
    std::vector<char> contents;
    if (mode & 2)
        contents = RenderRecords(data + 1, size - 1, (mode & 4) != 0);
    else
        contents.assign(data + 1, data + size);
    if (mode & 1)
        RepairChecksums(contents);
    if (mode & 8) {
        static const char kEndRecord[] = ":00000001FF\n";
        contents.insert(contents.end(), kEndRecord, kEndRecord + sizeof kEndRecord - 1);
    }
    if (contents.empty())
        return 0;
    LoadOnce(contents, 1);
    LoadOnce(contents, 2);
    return 0;
}
