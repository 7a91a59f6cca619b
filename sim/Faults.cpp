#include "sim/Faults.h"

#include "link/SlaveLink.h"
#include "sim/Reply.h"

namespace ksim {

const unsigned kDefaultDelayMs = SLAVE_REPLY_TIMEOUT_MS + 1000;

namespace {

// A separate stream per fault; the constants only keep the streams apart.
uint64_t StreamSeed(uint64_t seed, uint64_t stream) {
    Prng mix(seed ^ (stream * 0xd1b54a32d192ed03ull));
    return mix.Next();
}

uint8_t NonZero(Prng& prng) {
    return static_cast<uint8_t>(1 + prng.Below(255));
}

} // namespace

FaultInjector::FaultInjector(const FaultOptions& options)
    : m_options(options), m_lose(StreamSeed(options.seed, 1)),
      m_corruptByte(StreamSeed(options.seed, 2)), m_corruptFcs(StreamSeed(options.seed, 3)),
      m_noise(StreamSeed(options.seed, 4)), m_split(StreamSeed(options.seed, 5)),
      m_babble(StreamSeed(options.seed, 6)), m_delay(StreamSeed(options.seed, 7)) {}

Transmission FaultInjector::Apply(std::vector<uint8_t> body) {
    Transmission t;
    if (m_lose.Chance(m_options.losePercent)) {
        t.faults.push_back("lose");
        return t;
    }
    // The body always holds at least the five header bytes before the two FCS bytes.
    size_t fcsAt = body.size() - 2;
    if (m_corruptByte.Chance(m_options.corruptBytePercent)) {
        body[m_corruptByte.Below(static_cast<uint32_t>(fcsAt))] ^= NonZero(m_corruptByte);
        t.faults.push_back("corrupt-byte");
    }
    if (m_corruptFcs.Chance(m_options.corruptFcsPercent)) {
        uint16_t mask = static_cast<uint16_t>(1 + m_corruptFcs.Below(0xffff));
        body[fcsAt] ^= static_cast<uint8_t>(mask & 0xff);
        body[fcsAt + 1] ^= static_cast<uint8_t>(mask >> 8);
        t.faults.push_back("corrupt-fcs");
    }
    std::vector<uint8_t> wire = WireFrame(body);
    if (m_noise.Chance(m_options.noisePercent)) {
        unsigned count = 1 + m_noise.Below(m_options.noiseMax ? m_options.noiseMax : 1);
        std::vector<uint8_t> noise;
        while (noise.size() < count) {
            uint8_t b = static_cast<uint8_t>(m_noise.Next());
            if (b != 0x7e)
                noise.push_back(b);
        }
        wire.insert(wire.begin(), noise.begin(), noise.end());
        t.faults.push_back("noise");
    }
    if (m_split.Chance(m_options.splitPercent)) {
        // Somewhere after the opening flag and before the closing flag; with noise in front
        // the opening flag stands further in.
        size_t flag = wire.size() - WireFrame(body).size();
        size_t inside = wire.size() - flag - 1; // bytes after the opening flag, closing included
        t.pauseAt = flag + 1 + m_split.Below(static_cast<uint32_t>(inside));
        t.pauseMs = m_options.splitMs;
        t.faults.push_back("split");
    }
    if (m_delay.Chance(m_options.delayPercent)) {
        t.delayMs = m_options.delayMs;
        t.faults.push_back("delay");
    }
    t.bytes = std::move(wire);
    return t;
}

bool FaultInjector::Silent(long handled) const {
    return m_options.silentAfter >= 0 && handled >= m_options.silentAfter;
}

bool FaultInjector::Babbling(long handled) const {
    return m_options.babbleAfter >= 0 && handled >= m_options.babbleAfter;
}

void FaultInjector::Babble(uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(m_babble.Next());
}

} // namespace ksim
