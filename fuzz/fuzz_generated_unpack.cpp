// Arbitrary bytes through the readers that tessgen wrote for the topics of the broad test
// model (tests/generated/models/Broad.model.xml), behind either encapsulation header. The first
// input byte picks the header (bit 2), sample or packed key (bit 3) and the topic (bits 0-1,
// then bits 4-7 above them); the rest is the data.
//
// Besides not crashing: a value that unpacks packs again, and what it packs to unpacks to a
// value that packs to the same bytes (compared as bytes: a NaN read from the input is no
// value equal to itself). A packed key that unpackKey reads packs again to keylenPacked()
// bytes that compare equal to the keys read and read back to the same keys.
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

template <class Topic>
Bytes packedKey(const Topic& value) {
    Bytes buffer(1 << 20);
    buffer.resize(value.packKey(buffer.data(), static_cast<unsigned>(buffer.size())));
    return buffer;
}

template <class Topic>
void runKey(const Bytes& key) {
    const unsigned size = static_cast<unsigned>(key.size());
    Topic value;
    (void)value.keyEqual(key.data(), size, true);
    (void)Topic::keyEqual(key.data(), size, key.data(), size, true);
    if (!value.unpackKey(key.data(), size)) {
        return;
    }
    (void)value.keyHash();
    const Bytes once = packedKey(value);
    FUZZ_CHECK(!once.empty() && once.size() == value.keylenPacked());
    FUZZ_CHECK(value.keyEqual(once.data(), static_cast<unsigned>(once.size()), true));
    Topic second;
    FUZZ_CHECK(second.unpackKey(once.data(), static_cast<unsigned>(once.size())));
    FUZZ_CHECK(packedKey(second) == once);
}

// Keyed topics: the sample readers and, in key mode, the key readers.
template <class Topic>
void runKeyed(const Bytes& bytes, bool keyMode) {
    if (keyMode) {
        runKey<Topic>(bytes);
        return;
    }
    run<Topic>(bytes);
    Topic value;
    (void)value.keyEqual(bytes.data(), static_cast<unsigned>(bytes.size()), false);
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
    const bool keyMode = (data[0] & 8) != 0;
    using namespace ModelTOPICS;
    switch ((data[0] & 3) | ((data[0] >> 4) << 2)) {
        case 0:
            run<KeylessFixed>(sample);
            break;
        case 1:
            run<KeylessVariable>(sample);
            break;
        case 2:
            run<Containers>(sample);
            break;
        case 3:
            run<Plain>(sample);
            break;
        case 4:
            run<Lengths>(sample);
            break;
        case 5:
            runKeyed<Sample>(sample, keyMode);
            break;
        case 6:
            runKeyed<KeyedFixed>(sample, keyMode);
            break;
        case 7:
            runKeyed<KeyedVariable>(sample, keyMode);
            break;
        case 8:
            runKeyed<KeyDirect>(sample, keyMode);
            break;
        case 9:
            runKeyed<Key16>(sample, keyMode);
            break;
        case 10:
            runKeyed<Key17>(sample, keyMode);
            break;
        case 11:
            runKeyed<KeyWide>(sample, keyMode);
            break;
        case 12:
            runKeyed<KeyStringFirst>(sample, keyMode);
            break;
        case 13:
            runKeyed<KeyForeign>(sample, keyMode);
            break;
        case 14:
            runKeyed<KeyBool>(sample, keyMode);
            break;
        case 15:
            runKeyed<KeyHuge>(sample, keyMode);
            break;
        case 16:
            runKeyed<KeyOdd>(sample, keyMode);
            break;
        case 17:
            runKeyed<KeyEnum>(sample, keyMode);
            break;
        case 18:
            runKeyed<KeyArray>(sample, keyMode);
            break;
        case 19:
            runKeyed<KeyPath>(sample, keyMode);
            break;
        case 20:
            runKeyed<KeyBehind>(sample, keyMode);
            break;
        case 21:
            runKeyed<KeyWorked>(sample, keyMode);
            break;
        default:
            break;
    }
    return 0;
}
