#include "common/os/OsGuidPrefix.h"

#include <unistd.h>

#include <cstring>
#include <mutex>

#include "common/os/OsTime.h"

namespace vexa {

void OsNewGuidPrefix(uint32_t (&out)[3]) {
    // The last time issued: a clock that has not moved on still gives a new prefix.
    static std::mutex lastMutex;
    static uint64_t last = 0;
    uint64_t t = OsGetTimeCountMks() & 0xFFFFFFFFFFFFull;
    {
        std::lock_guard<std::mutex> lock(lastMutex);
        if (t <= last) {
            t = (last + 1) & 0xFFFFFFFFFFFFull;
        }
        last = t;
    }
    // Multiplicative hashing spreads neighbouring ids over all four bytes.
    uint32_t const thread = static_cast<uint32_t>(gettid()) * 0x9E3779B1u;
    unsigned char bytes[12] = {0xAA, 0xAA};
    std::memcpy(bytes + 2, &thread, 4);
    std::memcpy(bytes + 6, &t, 6);
    std::memcpy(out, bytes, sizeof bytes);
}

}  // namespace vexa
