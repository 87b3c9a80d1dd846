#include "rtps/dsvc/DSVCFrameDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "DsvcPeers.h"

namespace {

using namespace RTPS;
using dsvc_test::frame;
using dsvc_test::guid;

// Feeds the bytes in segments of `segment` bytes; collects the frames.
std::vector<DSVCFrame> decodeAll(DSVCFrameDecoder& d, std::vector<uint8_t> const& bytes,
                                 size_t segment) {
    std::vector<DSVCFrame> out;
    size_t off = 0;
    while (off < bytes.size() && !d.failed()) {
        size_t const end = std::min(bytes.size(), off + segment);
        while (off < end && !d.failed()) {
            off += d.consume(bytes.data() + off, end - off);
            if (d.hasFrame()) {
                out.push_back(d.take());
            }
        }
    }
    return out;
}

TEST(DSVCFrameDecoder, MessagesAreWholeWhateverTheSegments) {
    std::vector<uint8_t> stream = buildDsvcInit(guid(2));
    std::vector<uint8_t> const pause = buildDsvcEmpty(DSVC_TAG_PAUS);
    std::vector<uint8_t> const unknown = frame(16, 0x1122334455667788ULL, {1, 2, 3, 4});
    stream.insert(stream.end(), unknown.begin(), unknown.end());
    stream.insert(stream.end(), pause.begin(), pause.end());
    for (size_t segment : {1, 3, 4, 5, 12, 31, 33, 1000}) {
        DSVCFrameDecoder d;
        std::vector<DSVCFrame> frames = decodeAll(d, stream, segment);
        ASSERT_EQ(frames.size(), 3u) << segment;
        EXPECT_EQ(frames[0].tag, DSVC_TAG_INIT);
        EXPECT_EQ(frames[0].body, std::vector<uint8_t>(stream.begin() + 12, stream.begin() + 32));
        EXPECT_EQ(frames[1].tag, 0x1122334455667788ULL);
        EXPECT_EQ(frames[1].body, (std::vector<uint8_t>{1, 2, 3, 4}));
        EXPECT_EQ(frames[2].tag, DSVC_TAG_PAUS);
        EXPECT_TRUE(frames[2].body.empty());
        EXPECT_FALSE(d.failed());
        EXPECT_FALSE(d.inMessage());
    }
}

TEST(DSVCFrameDecoder, LengthsNoPeerBuildsFailTheStream) {
    struct Case {
        char const* name;
        uint32_t length;
        uint32_t max;
        bool fails;
    } const cases[] = {
        {"zero", 0, DSVC_MAX_MESSAGE_SIZE, true},
        {"five", 5, DSVC_MAX_MESSAGE_SIZE, true},
        {"eleven", 11, DSVC_MAX_MESSAGE_SIZE, true},
        {"two to the 31", 0x80000000u, DSVC_MAX_MESSAGE_SIZE, true},
        {"all ones", 0xFFFFFFFFu, DSVC_MAX_MESSAGE_SIZE, true},
        {"one above the cap", 1001, 1000, true},
        {"head only", 12, DSVC_MAX_MESSAGE_SIZE, false},
        {"at the cap", 1000, 1000, false},
    };
    for (auto const& c : cases) {
        DSVCFrameDecoder d(c.max);
        // Only the length field: the verdict must not wait for the rest.
        uint8_t len[4];
        std::memcpy(len, &c.length, 4);
        EXPECT_EQ(d.consume(len, 4), 4u) << c.name;
        EXPECT_EQ(d.failed(), c.fails) << c.name;
        if (c.fails) {
            uint8_t more[8] = {};
            EXPECT_EQ(d.consume(more, 8), 0u) << c.name;
            EXPECT_FALSE(d.hasFrame()) << c.name;
        }
    }
}

TEST(DSVCFrameDecoder, ALyingLengthCostsOnlyTheBytesThatCame) {
    DSVCFrameDecoder d;
    std::vector<uint8_t> const head = frame(DSVC_MAX_MESSAGE_SIZE, DSVC_TAG_SMPL, {9, 9, 9});
    EXPECT_EQ(d.consume(head.data(), head.size()), head.size());
    EXPECT_FALSE(d.failed());
    EXPECT_FALSE(d.hasFrame());
    EXPECT_TRUE(d.inMessage());
}

TEST(DSVCFrameDecoder, BodiesAboveTheKeepLimitAreReadPast) {
    DSVCFrameDecoder d(DSVC_MAX_MESSAGE_SIZE, DSVC_INIT_SIZE);
    std::vector<uint8_t> stream = frame(112, DSVC_TAG_SMPL, std::vector<uint8_t>(100, 7));
    std::vector<uint8_t> const init = buildDsvcInit(guid(4));
    stream.insert(stream.end(), init.begin(), init.end());
    std::vector<DSVCFrame> frames = decodeAll(d, stream, 7);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].bodyKept);
    EXPECT_TRUE(frames[0].body.empty());
    EXPECT_EQ(frames[0].length, 112u);
    EXPECT_TRUE(frames[1].bodyKept);
    EXPECT_EQ(frames[1].tag, DSVC_TAG_INIT);
}

}  // namespace
