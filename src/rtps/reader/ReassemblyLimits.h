#pragma once

#include <algorithm>
#include <cstdint>

#include "rtps/participant/Config.h"

namespace RTPS {

// How much a reader lets incomplete samples (fragments, one half of a key/data pair) cost it.
// A sample larger than maxSampleSize is never put together; the memory that all its incomplete
// samples hold together stays within maxPendingBytes, and a fragment that would pass it is
// dropped (the writer sends it again, or a best-effort sample is lost).
struct ReassemblyLimits {
    // Largest sample a reader puts together from fragments where nothing configures a smaller
    // one.
    static constexpr uint32_t DEFAULT_MAX_SAMPLE_SIZE = Config::DEFAULT_MAX_SAMPLE_SIZE;
    // A reader assembles at most this many samples of the largest size at once.
    static constexpr uint32_t MAX_SAMPLES_IN_ASSEMBLY = 4;

    uint32_t maxSampleSize;
    uint64_t maxPendingBytes;

    // From the reader's sample limit (0: none): a reader that can hold n samples assembles at
    // most n at once, never more than MAX_SAMPLES_IN_ASSEMBLY; samples are capped by
    // `configuredMax`.
    static ReassemblyLimits fromSampleLimit(uint32_t sampleLimit,
                                            uint32_t configuredMax = DEFAULT_MAX_SAMPLE_SIZE) {
        const uint32_t samples = sampleLimit == 0
                                     ? MAX_SAMPLES_IN_ASSEMBLY
                                     : std::min<uint32_t>(sampleLimit, MAX_SAMPLES_IN_ASSEMBLY);
        return ReassemblyLimits{configuredMax, uint64_t{configuredMax} * samples};
    }
};

}  // namespace RTPS
