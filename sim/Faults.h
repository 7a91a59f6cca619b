// Faults on the slaves' side of the line, each chosen by its own option and each drawn from
// its own generator seeded from the one seed: the same seed and options give the same faults,
// and switching one fault on does not change when another strikes.
#pragma once

#include "sim/Prng.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

// A delayed reply comes a second past the host's wait for it: the host has given up on it and
// sent the request again, and the late reply comes while it waits for the second attempt's.
extern const unsigned kDefaultDelayMs;

struct FaultOptions {
    uint64_t seed = 1;
    double losePercent = 0;        // the reply is not sent (the command was carried out)
    double corruptBytePercent = 0; // one byte of the reply between the flags and before the FCS
                                   // is changed on the line, so the FCS no longer matches
    double corruptFcsPercent = 0;  // the reply's FCS is changed
    double noisePercent = 0;       // 1 to noiseMax bytes other than 7E go before the reply
    unsigned noiseMax = 4;
    double splitPercent = 0; // the reply stops for splitMs somewhere after its opening
    unsigned splitMs = 20;   // flag and before its closing flag
    double delayPercent = 0; // the reply comes delayMs late (the slave is that slow)
    unsigned delayMs = kDefaultDelayMs;
    long silentAfter = -1; // after this many requests nothing more is answered
    long babbleAfter = -1; // after this many requests random bytes flow without end
};

// One reply as it goes out, with what was done to it.
struct Transmission {
    std::vector<uint8_t> bytes; // empty when the reply was lost
    size_t pauseAt = 0;         // the pause comes before this byte; 0: no pause
    unsigned pauseMs = 0;
    std::vector<std::string> faults; // names of the faults applied, for the log
    unsigned delayMs = 0;            // the slave's processing time before it answers
};

class FaultInjector {
public:
    explicit FaultInjector(const FaultOptions& options);

    // The reply body (address up to the FCS, unescaped) as it goes out with its faults.
    Transmission Apply(std::vector<uint8_t> body);

    // Whether the slaves have gone silent, or babble, once `handled` valid requests have
    // been handled.
    bool Silent(long handled) const;
    bool Babbling(long handled) const;
    // The next bytes of babble.
    void Babble(uint8_t* out, size_t count);

    const FaultOptions& Options() const { return m_options; }

private:
    FaultOptions m_options;
    Prng m_lose, m_corruptByte, m_corruptFcs, m_noise, m_split, m_babble, m_delay;
};

} // namespace ksim
