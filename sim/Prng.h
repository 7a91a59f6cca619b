// A small seeded generator (splitmix64): the same seed gives the same faults on every machine,
// which std::uniform_*_distribution would not promise.
#pragma once

#include <cstdint>

namespace ksim {

class Prng {
public:
    explicit Prng(uint64_t seed) : m_state(seed) {}

    uint64_t Next() {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0. The modulo bias is far below anything a test could see.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

    // True with the given probability in percent (0 never, 100 always).
    bool Chance(double percent) {
        if (percent <= 0)
            return false;
        if (percent >= 100)
            return true;
        return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) * 100.0 < percent;
    }

private:
    uint64_t m_state;
};

} // namespace ksim
