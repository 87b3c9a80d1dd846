// Round trips of a generated topic against the reference writer: pack gives the reference's
// bytes, unpack reads them back in both byte orders, every shorter buffer fails cleanly (exact
// size heap buffers, so the sanitizers see any read or write past the end).
#ifndef TESTS_GENERATED_ROUNDTRIP_H
#define TESTS_GENERATED_ROUNDTRIP_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ReferenceWriter.h"

namespace roundtrip {

using Bytes = std::vector<std::uint8_t>;
using reference::ReferenceWriter;

template <class Topic>
Bytes reference(const Topic& value, bool bigEndian) {
    ReferenceWriter w(bigEndian);
    w.put(value);
    return w.sample();
}

// pack(buffer, room) into a buffer that held other bytes and into a zeroed one: the bytes are
// the same, alignment gaps included, so a reused buffer leaks nothing onto the wire.
template <class Pack>
Bytes packedOverStaleBytes(Pack pack, std::size_t room) {
    Bytes stale(room, 0xAA);
    Bytes zeroed(room, 0);
    const unsigned length = pack(stale.data(), static_cast<unsigned>(room));
    EXPECT_EQ(length, pack(zeroed.data(), static_cast<unsigned>(room)));
    stale.resize(length);
    zeroed.resize(length);
    EXPECT_EQ(zeroed, stale) << "bytes the buffer held before are in the packed data";
    return stale;
}

template <class Topic>
Bytes packed(const Topic& value, std::size_t room = 1 << 16) {
    return packedOverStaleBytes([&value](void* buf, unsigned len) { return value.pack(buf, len); },
                                room);
}

// Every byte count short of the whole: unpack fails, pack writes nothing past the buffer.
template <class Topic>
void expectShortBuffersFail(const Topic& value, const Bytes& whole) {
    for (std::size_t n = 0; n < whole.size(); ++n) {
        Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        Topic read;
        EXPECT_FALSE(read.unpack(prefix.data(), static_cast<unsigned>(n))) << n;
        Bytes room(n);
        EXPECT_EQ(0u, value.pack(room.data(), static_cast<unsigned>(n))) << n;
    }
}

template <class Topic>
void expectRoundTrip(const Topic& value) {
    const Bytes little = reference(value, false);
    const Bytes mine = packed(value);
    ASSERT_EQ(little, mine);
    // The length the writer asks for before it packs, exactly; a fixed topic's maximum is it.
    EXPECT_EQ(mine.size(), value.lenPacked());
    EXPECT_TRUE(Topic::maxlenPacked() == 0 || Topic::maxlenPacked() == mine.size());
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        const Bytes bytes = reference(value, bigEndian);
        Topic read;
        ASSERT_TRUE(read.unpack(bytes.data(), static_cast<unsigned>(bytes.size())));
        EXPECT_TRUE(read == value);
        expectShortBuffersFail(value, bytes);
    }
}

}  // namespace roundtrip

#endif
