#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WireBytes.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/MessageHeader.h"

using namespace RTPS;

namespace {

const uint8_t PREFIX[12] = {0xAA, 0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

Bytes header() {
    Bytes h(20);
    writeMessageHeader(h.data(), PREFIX);
    return h;
}

Bytes sub(uint8_t kind, uint16_t octetsToNextHeader, size_t bodyBytes) {
    return cat({{kind, 0x01}, le16(octetsToNextHeader), repeat(kind, bodyBytes)});
}

struct Seen {
    uint8_t kind;
    uint32_t offset;
    uint16_t length;
    bool operator==(Seen const& o) const {
        return kind == o.kind && offset == o.offset && length == o.length;
    }
};

}  // namespace

TEST(MessageHeader, WrittenAndParsedBack) {
    Bytes h = header();
    EXPECT_EQ(h,
              cat({{'R', 'T', 'P', 'S', 2, 2, 0xAA, 0xAA}, Bytes(PREFIX, PREFIX + sizeof PREFIX)}));
    MessageHeader parsed{};
    ASSERT_TRUE(parseMessageHeader(h.data(), h.size(), parsed));
    EXPECT_TRUE(isSupportedVersion(parsed));
    EXPECT_EQ(Bytes(parsed.guidPrefix, parsed.guidPrefix + 12), Bytes(PREFIX, PREFIX + 12));
    EXPECT_EQ(parsed.vendorId[0], 0xAA);

    struct {
        char const* name;
        size_t length;
        size_t patchAt;
        uint8_t value;
        bool parsed;
        bool supported;
    } const cases[] = {
        {"19 bytes", 19, 0, 'R', false, false},    {"not RTPS", 20, 3, 'X', false, false},
        {"version 2.1", 20, 5, 1, true, false},    {"version 3.2", 20, 4, 3, true, false},
        {"other vendor", 20, 6, 0x01, true, true},
    };
    for (auto const& c : cases) {
        Bytes d = header();
        d[c.patchAt] = c.value;
        MessageHeader m{};
        EXPECT_EQ(parseMessageHeader(d.data(), c.length, m), c.parsed) << c.name;
        if (c.parsed) {
            EXPECT_EQ(isSupportedVersion(m), c.supported) << c.name;
        }
    }
}

TEST(DatagramWalker, WalkTable) {
    struct {
        std::string name;
        Bytes datagram;
        std::vector<Seen> seen;
        bool malformed;
    } const cases[] = {
        {"header only", header(), {}, false},
        {"shorter than a header", Bytes(19, 0x52), {}, true},
        {"two submessages, exact fit",
         cat({header(), sub(0x07, 28, 28), sub(0x09, 8, 8)}),
         {{0x07, 20, 32}, {0x09, 52, 12}},
         false},
        {"last says 0 and runs to the end",
         cat({header(), sub(0x09, 8, 8), sub(0x15, 0, 100)}),
         {{0x09, 20, 12}, {0x15, 32, 104}},
         false},
        {"0 in the middle ends the walk",
         cat({header(), sub(0x15, 0, 10), sub(0x07, 28, 28)}),
         {{0x15, 20, 46}},
         false},
        {"header of the next submessage cut short",
         cat({header(), sub(0x09, 8, 8), {0x07, 0x01, 0x1C}}),
         {{0x09, 20, 12}},
         true},
        {"length runs past the end",
         cat({header(), sub(0x09, 8, 8), sub(0x07, 28, 27)}),
         {{0x09, 20, 12}},
         true},
        {"largest length on a tiny datagram", cat({header(), sub(0x15, 0xFFFF, 4)}), {}, true},
        {"empty submessage body", cat({header(), sub(0x01, 0, 0)}), {{0x01, 20, 4}}, false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        DatagramWalker w(c.datagram.data(), c.datagram.size());
        std::vector<Seen> seen;
        SubmessageSpan s{};
        while (w.next(s)) {
            ASSERT_EQ(s.data, c.datagram.data() + s.offset);
            ASSERT_LE(s.offset + s.length, c.datagram.size());
            seen.push_back({s.kind, s.offset, s.length});
        }
        EXPECT_FALSE(w.next(s));  // stays at the end
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(w.malformed(), c.malformed);
    }
}

TEST(DatagramWalker, LooksNoFurtherThan64KiB) {
    // A datagram longer than any UDP payload: the walk covers only its first 65536 bytes.
    Bytes d = cat({header(), sub(0x15, 0xFFFF - 4 - 20, 0xFFFF - 4 - 20)});
    d.resize(70000, 0);
    d[65536 - 1] = 0;
    DatagramWalker w(d.data(), d.size());
    SubmessageSpan s{};
    ASSERT_TRUE(w.next(s));
    EXPECT_EQ(s.length, 0xFFFF - 20);
    // What remains of the 64 KiB: 1 byte, not a header.
    EXPECT_FALSE(w.next(s));
    EXPECT_TRUE(w.malformed());
}
