// Arbitrary bytes through the unpack() that tessgen wrote for each keyless topic of the broad
// test model (tests/generated/models/Broad.model.xml), behind either encapsulation header. The
// first input byte picks the topic (bits 0-1) and the header (bit 2); the rest is the data.
//
// Besides not crashing: a value that unpacks packs again, and what it packs to unpacks to a
// value that packs to the same bytes (compared as bytes: a NaN read from the input is no
// value equal to itself).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Broad.model.h"

namespace {

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

using Bytes = std::vector<std::uint8_t>;

template <class Topic>
Bytes packed(const Topic& value) {
    Bytes buffer(1 << 20);
    const unsigned length = value.pack(buffer.data(), static_cast<unsigned>(buffer.size()));
    buffer.resize(length);
    return buffer;
}

template <class Topic>
void run(const Bytes& sample) {
    Topic first;
    if (!first.unpack(sample.data(), static_cast<unsigned>(sample.size()))) {
        return;
    }
    const Bytes once = packed(first);
    FUZZ_CHECK(!once.empty());
    Topic second;
    FUZZ_CHECK(second.unpack(once.data(), static_cast<unsigned>(once.size())));
    FUZZ_CHECK(packed(second) == once);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // Allocated at its exact size, so that a read past the data is seen.
    Bytes sample(size + 3);
    sample[1] = (data[0] & 4) != 0 ? 0x01 : 0x00;  // 00 01 CDR_LE, 00 00 big-endian
    std::memcpy(sample.data() + 4, data + 1, size - 1);
    switch (data[0] & 3) {
        case 0:
            run<ModelTOPICS::KeylessFixed>(sample);
            break;
        case 1:
            run<ModelTOPICS::KeylessVariable>(sample);
            break;
        case 2:
            run<ModelTOPICS::Containers>(sample);
            break;
        default:
            run<ModelTOPICS::Plain>(sample);
            break;
    }
    return 0;
}
