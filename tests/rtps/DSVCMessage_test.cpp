#include "rtps/dsvc/DSVCMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "DsvcPeers.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"

namespace {

using namespace RTPS;
using dsvc_test::guid;
using dsvc_test::StoredSample;

std::string tagBytes(std::vector<uint8_t> const& message) {
    return std::string(message.begin() + 4, message.begin() + 12);
}

TEST(DSVCMessage, TagsReadBackwardsOnTheWire) {
    struct Case {
        uint64_t tag;
        char const* wire;
    } const cases[] = {
        {DSVC_TAG_INIT, "TINICVSD"},
        {DSVC_TAG_SMPL, "LPMSCVSD"},
        {DSVC_TAG_PAUS, "SUAPCVSD"},
        {DSVC_TAG_STOP, "POTSCVSD"},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(tagBytes(buildDsvcEmpty(c.tag)), c.wire) << c.wire;
    }
    EXPECT_EQ(tagBytes(buildDsvcInit(guid(1))), "TINICVSD");
}

TEST(DSVCMessage, InitCarriesTheReaderGuidAndFourZeroBytes) {
    GUID_t const reader = guid(3, 0x04);
    std::vector<uint8_t> const m = buildDsvcInit(reader);
    ASSERT_EQ(m.size(), 32u);
    EXPECT_EQ(m[0], 32);
    EXPECT_EQ(std::memcmp(m.data() + 12, &reader, 16), 0);
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 28, m.end()), std::vector<uint8_t>(4, 0));

    GUID_t back{};
    ASSERT_TRUE(parseDsvcInit(m.data() + 12, 20, back));
    EXPECT_EQ(back, reader);
    EXPECT_FALSE(parseDsvcInit(m.data() + 12, 19, back));
    EXPECT_FALSE(parseDsvcInit(m.data() + 12, 21, back));
}

TEST(DSVCMessage, SampleLayoutAndRoundTrip) {
    GUID_t const writer = guid(5, 0x02);
    StoredSample s(writer, 9, 100000);
    s.info->sequenceNumber = {2, 9};
    std::vector<uint8_t> const m = buildDsvcSample(*s.info);
    ASSERT_EQ(m.size(), 100076u);
    uint32_t length;
    std::memcpy(&length, m.data(), 4);
    EXPECT_EQ(length, 100076u);
    EXPECT_EQ(std::memcmp(m.data() + 12, &writer, 16), 0);
    EXPECT_EQ(m[28], 0x11);  // key hash
    uint64_t n;
    std::memcpy(&n, m.data() + 60, 8);
    EXPECT_EQ(n, 100000u);
    EXPECT_EQ(std::memcmp(m.data() + 76, s.bytes.data(), s.bytes.size()), 0);

    DSVCSampleView v{};
    ASSERT_TRUE(parseDsvcSample(m.data() + 12, m.size() - 12, v));
    EXPECT_EQ(v.writer, writer);
    EXPECT_EQ(v.head.instanceHandle, 42);
    EXPECT_EQ(v.head.statusFlags, 1u);
    EXPECT_EQ(v.head.sourceTimestamp.sec, 100);
    EXPECT_EQ(v.head.sourceTimestamp.nanosec, 200u);
    EXPECT_EQ(v.sequenceNumber, (SequenceNumber_t{2, 9}));
    EXPECT_EQ(v.dataLength, 100000u);
    EXPECT_EQ(v.data, m.data() + 76);
}

TEST(DSVCMessage, SampleBodyWhoseLengthFieldLiesIsRefused) {
    StoredSample s(guid(5), 1, 16);
    std::vector<uint8_t> m = buildDsvcSample(*s.info);
    std::vector<uint8_t> body(m.begin() + 12, m.end());
    struct Case {
        char const* name;
        uint64_t n;
        size_t bodySize;
    } const cases[] = {
        {"one byte more than sent", 17, body.size()},
        {"one byte less than sent", 15, body.size()},
        {"64 + n cut to 32 bits is the body length", (uint64_t{1} << 32) + 16, body.size()},
        {"all ones", std::numeric_limits<uint64_t>::max(), body.size()},
        {"body shorter than the head", 0, 63},
    };
    for (auto const& c : cases) {
        std::vector<uint8_t> b(body.begin(), body.begin() + static_cast<long>(c.bodySize));
        if (b.size() >= 56) {
            std::memcpy(b.data() + 48, &c.n, 8);
        }
        DSVCSampleView v{};
        EXPECT_FALSE(parseDsvcSample(b.data(), b.size(), v)) << c.name;
    }
    DSVCSampleView v{};
    EXPECT_TRUE(parseDsvcSample(body.data(), body.size(), v));
}

TEST(DSVCMessage, SampleWithoutDataOrTooLargeIsNotBuilt) {
    StoredSample s(guid(5), 1, 0);
    EXPECT_EQ(buildDsvcSample(*s.info).size(), 76u);
    s.info->dataLength = 8;
    s.info->data = nullptr;
    EXPECT_TRUE(buildDsvcSample(*s.info).empty());
    s.info->data = s.bytes.data();
    s.info->dataLength = DSVC_MAX_SAMPLE_SIZE + 1;
    EXPECT_TRUE(buildDsvcSample(*s.info).empty());
}

}  // namespace
