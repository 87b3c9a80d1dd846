#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "rtps/discovery/BuiltinRecordOps.h"
#include "rtps/history/CacheChange.h"
#include "rtps/wire/RTPSMessage.h"

using RTPS::CacheChange;
using RTPS::FragmentNumberSet;
using RTPS::FragmentVerdict;

namespace {

// A cap for reassemblies where the test is not about the cap.
constexpr uint32_t CAP = 1u << 20;

RTPS::GUID_t writerGuid(RTPS::EntityId_t id = {{0, 0, 1}, 0x02}) {
    RTPS::GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.guidPrefix[1] = 0xAA;
    g.entityId = id;
    return g;
}

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return v;
}

// Bits of a set as the fragment numbers they stand for.
std::vector<uint32_t> missing(FragmentNumberSet const& s) {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < s.numBits; ++i) {
        if (s.isSet(i)) {
            out.push_back(s.bitmapBase + i);
        }
    }
    return out;
}

}  // namespace

TEST(CacheChange, ConstructionCopiesTheRecordWithAnUnknownNumber) {
    uint8_t payload[8] = {};
    RTPS::SampleInfo info{};
    info.keyHash[3] = 9;
    info.instanceHandle = 77;
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.sourceTimestamp = {12, 34};
    info.data = payload;
    info.length = sizeof payload;
    info.sequenceNumber = {0, 5};

    CacheChange c(writerGuid(), &info);
    EXPECT_EQ(c.sampleInfo.keyHash[3], 9);
    EXPECT_EQ(c.sampleInfo.instanceHandle, 77);
    EXPECT_EQ(c.sampleInfo.sourceTimestamp, (vexa::dds::Time_t{12, 34}));
    EXPECT_EQ(c.sampleInfo.data, payload);
    EXPECT_EQ(c.sampleInfo.sequenceNumber, RTPS::SEQUENCENUMBER_UNKNOWN);
    EXPECT_EQ(c.completeness, 2);
    EXPECT_EQ(c.loanCount, 0u);

    info.length = 0;
    EXPECT_EQ(CacheChange(writerGuid(), &info).completeness, 0);
    CacheChange empty(writerGuid(), nullptr);
    EXPECT_EQ(empty.completeness, 0);
    EXPECT_EQ(empty.sampleInfo.data, nullptr);
    EXPECT_EQ(empty.sampleInfo.sourceTimestamp, vexa::dds::TIME_INVALID);
}

TEST(CacheChange, FragmentCountIsTheCeilingOfSampleOverFragmentSize) {
    struct Case {
        uint32_t sample;
        uint16_t fragment;
        bool ok;
        uint32_t count;
    };
    const Case cases[] = {
        {10000, 1024, true, 10}, {10240, 1024, true, 10}, {1, 1024, true, 1},
        {0, 1024, false, 0},     {1000, 0, false, 0},
    };
    for (Case const& k : cases) {
        CacheChange c(writerGuid(), nullptr);
        c.sampleSize = k.sample;
        c.fragmentSize = k.fragment;
        EXPECT_EQ(c.initFragmentMap(CAP), k.ok) << k.sample << "/" << k.fragment;
        EXPECT_EQ(c.fragmentCount, k.count);
        EXPECT_EQ(c.fragmentMap.size(), k.count);
    }
    CacheChange capped(writerGuid(), nullptr);
    capped.sampleSize = 5000;
    capped.fragmentSize = 100;
    EXPECT_FALSE(capped.initFragmentMap(4096));
    EXPECT_TRUE(capped.fragmentMap.empty());
}

TEST(CacheChange, AddFragmentStaysInsideTheSample) {
    CacheChange c(writerGuid(), nullptr);
    c.sampleSize = 1000;
    c.fragmentSize = 100;
    ASSERT_TRUE(c.initFragmentMap(CAP));
    EXPECT_FALSE(c.addFragment(0, 3));          // fragment numbers count from 1
    EXPECT_FALSE(c.addFragment(11, 1));         // after the last one
    EXPECT_TRUE(c.addFragment(9, 0xFFFFFFFF));  // first + count wraps in 32 bits
    EXPECT_EQ(c.fragmentMap, (std::vector<bool>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_FALSE(c.allFragmentPresent());
    EXPECT_TRUE(c.addFragment(1, 8));
    EXPECT_TRUE(c.allFragmentPresent());

    CacheChange none(writerGuid(), nullptr);
    EXPECT_TRUE(none.allFragmentPresent());
    EXPECT_FALSE(none.addFragment(1, 1));
}

TEST(CacheChange, MissingFragmentSets) {
    struct Case {
        const char* name;
        uint32_t sample, fragment;
        std::vector<uint32_t> received;
        uint32_t baseIn;
        uint32_t baseOut, numBits;
        std::vector<uint32_t> missing;
        uint32_t next;
    };
    const Case cases[] = {
        {"1, 2, 4 of 10", 10000, 1024, {1, 2, 4}, 1, 3, 8, {3, 5, 6, 7, 8, 9, 10}, 0},
        {"base 0 counts as 1", 10000, 1024, {1, 2, 4}, 0, 3, 8, {3, 5, 6, 7, 8, 9, 10}, 0},
        {"from 6 on", 10000, 1024, {1, 2, 4, 6}, 6, 7, 4, {7, 8, 9, 10}, 0},
        {"only 3 missing", 10000, 1024, {1, 2, 4, 5, 6, 7, 8, 9, 10}, 1, 3, 1, {3}, 0},
        {"nothing missing", 1000, 100, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 1, 0, {}, 0},
        {"base after the last", 1000, 100, {}, 11, 11, 0, {}, 0},
        {"first of three sets", 600, 1, {}, 1, 1, 256, {}, 257},
        {"second of three sets", 600, 1, {}, 257, 257, 256, {}, 513},
        {"last of three sets", 600, 1, {}, 513, 513, 88, {}, 0},
        {"exactly 256 from base", 256, 1, {}, 1, 1, 256, {}, 0},
    };
    for (Case const& k : cases) {
        CacheChange c(writerGuid(), nullptr);
        c.sampleSize = k.sample;
        c.fragmentSize = k.fragment;
        ASSERT_TRUE(c.initFragmentMap(CAP));
        for (uint32_t f : k.received) {
            c.addFragment(f, 1);
        }
        FragmentNumberSet set{};
        set.bitmapBase = k.baseIn;
        EXPECT_EQ(c.getMissingFragmentSet(set), k.next) << k.name;
        EXPECT_EQ(set.bitmapBase, k.baseOut) << k.name;
        EXPECT_EQ(set.numBits, k.numBits) << k.name;
        if (!k.missing.empty()) {
            EXPECT_EQ(missing(set), k.missing) << k.name;
        } else {
            EXPECT_EQ(missing(set).size(), k.numBits) << k.name;  // all set, or none
        }
    }
}

// DATA_FRAG sizes come from the network: every bad combination is refused and leaves the change
// as it was (no buffer, no map).
TEST(CacheChange, MalformedFragmentsAreRefused) {
    const std::vector<uint8_t> bytes = pattern(4096);
    struct Case {
        const char* name;
        uint32_t sample;
        uint16_t fragment;
        uint32_t first, count;
        uint64_t length;
        uint32_t cap;
        FragmentVerdict verdict;
    };
    const uint32_t MAX = CacheChange::MAX_SAMPLE_SIZE;
    const Case cases[] = {
        {"fragment size 0", 1000, 0, 1, 1, 100, MAX, FragmentVerdict::ZeroFragmentSize},
        {"sample size 0", 0, 100, 1, 1, 100, MAX, FragmentVerdict::BadSampleSize},
        {"sample above 2^31-1", 0x80000000u, 1024, 1, 1, 1024, MAX, FragmentVerdict::BadSampleSize},
        {"huge sample, tiny fragments", 0xFFFFFFFFu, 1, 1, 1, 1, MAX,
         FragmentVerdict::BadSampleSize},
        {"sample above the reader's cap", 5000, 100, 1, 1, 100, 4096,
         FragmentVerdict::BadSampleSize},
        {"a cap above 2^31-1 is no wider", 0x80000000u, 1024, 1, 1, 1024, 0xFFFFFFFFu,
         FragmentVerdict::BadSampleSize},
        {"first fragment 0", 1000, 100, 0, 1, 100, MAX, FragmentVerdict::BadFirstFragment},
        {"first after the last", 1000, 100, 11, 1, 100, MAX, FragmentVerdict::BadFirstFragment},
        {"first wraps with count", 1000, 100, 0xFFFFFFFFu, 2, 200, MAX,
         FragmentVerdict::BadFirstFragment},
        {"no fragments", 1000, 100, 1, 0, 100, MAX, FragmentVerdict::ZeroCount},
        {"less data than two fragments", 1000, 100, 1, 2, 150, MAX, FragmentVerdict::ShortData},
        {"short last fragment", 950, 100, 10, 1, 49, MAX, FragmentVerdict::ShortData},
        {"no data", 1000, 100, 1, 1, 0, MAX, FragmentVerdict::ShortData},
    };
    for (Case const& k : cases) {
        CacheChange c(writerGuid(), nullptr);
        EXPECT_EQ(c.addFragmentData(k.sample, k.fragment, k.first, k.count, bytes.data(), k.length,
                                    k.cap),
                  k.verdict)
            << k.name;
        EXPECT_EQ(c.sampleInfo.data, nullptr) << k.name;
        EXPECT_TRUE(c.fragmentMap.empty()) << k.name;
        EXPECT_EQ(c.completeness, 0) << k.name;
    }
}

TEST(CacheChange, LaterFragmentsMustKeepTheGeometry) {
    const std::vector<uint8_t> bytes = pattern(1000);
    CacheChange c(writerGuid(), nullptr);
    ASSERT_EQ(c.addFragmentData(1000, 100, 1, 1, bytes.data(), 100, CAP),
              FragmentVerdict::Accepted);
    EXPECT_EQ(c.addFragmentData(2000, 100, 2, 1, bytes.data(), 100, CAP),
              FragmentVerdict::GeometryChanged);
    EXPECT_EQ(c.addFragmentData(1000, 200, 2, 1, bytes.data(), 200, CAP),
              FragmentVerdict::GeometryChanged);
    EXPECT_EQ(c.sampleSize, 1000u);
    EXPECT_EQ(c.fragmentSize, 100u);
    EXPECT_EQ(c.fragmentCount, 10u);
}

TEST(CacheChange, FragmentsInAnyOrderRebuildTheSample) {
    const std::vector<uint8_t> sample = pattern(950);
    std::vector<uint8_t> padded(sample);
    padded.resize(1200, 0xEE);  // a last submessage may carry padding after the sample

    CacheChange c(writerGuid(), nullptr);
    c.completeness = 1;  // the key arrived earlier
    struct Chunk {
        uint32_t first, count;
    };
    // Out of order, overlapping, repeated, and the last one claiming more than is left.
    const Chunk chunks[] = {{4, 2}, {1, 1}, {4, 1}, {9, 0xFFFFFFFF}, {2, 3}, {6, 3}};
    for (Chunk p : chunks) {
        EXPECT_EQ(c.completeness, 1);  // data only once the last gap is filled
        const size_t offset = (p.first - 1) * 100;
        ASSERT_EQ(c.addFragmentData(950, 100, p.first, p.count, padded.data() + offset,
                                    padded.size() - offset, CAP),
                  FragmentVerdict::Accepted)
            << p.first;
    }
    EXPECT_TRUE(c.allFragmentPresent());
    EXPECT_EQ(c.completeness, 3);
    ASSERT_EQ(c.sampleInfo.length, 950u);
    EXPECT_EQ(std::memcmp(c.sampleInfo.data, sample.data(), 950), 0);
    FragmentNumberSet set{};
    set.bitmapBase = 1;
    EXPECT_EQ(c.getMissingFragmentSet(set), 0u);
    EXPECT_EQ(set.numBits, 0u);
}

// Heap bytes in use, blocks the allocator mapped on their own included.
size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// One DATA_FRAG of 57 bytes (fragment size 1, sample size 2^31-1) once made a reassembly zero-fill
// a 2 GiB fragment map and allocate a 2 GiB buffer. Now a sample above the owner's cap is
// refused, the map takes one bit per fragment, and the sample buffer waits until a quarter of
// the sample has arrived: the memory follows what arrived, never beyond the cap.
TEST(CacheChange, ReassemblyMemoryFollowsWhatArrived) {
    constexpr uint32_t cap = 16u << 20;
    const std::vector<uint8_t> bytes = pattern(4096);
    struct Case {
        const char* name;
        uint32_t sample;
        uint16_t fragment;
        uint32_t fragmentsSent;  // one DATA_FRAG each, from the first fragment on
        FragmentVerdict verdict;
        size_t most;  // heap the change may hold afterwards
    } const cases[] = {
        {"the 57-byte datagram", CacheChange::MAX_SAMPLE_SIZE, 1, 1, FragmentVerdict::BadSampleSize,
         0},
        {"sample at the cap in fragments of one byte", cap, 1, 1, FragmentVerdict::Accepted,
         cap / 8 + 4096},
        {"a tenth of a sample at the cap", cap, 4096, cap / 4096 / 10, FragmentVerdict::Accepted,
         cap / 10 + cap / 4096 * 64},
        {"a quarter of it: the whole buffer", cap, 4096, cap / 4096 / 4, FragmentVerdict::Accepted,
         cap + 4096},
    };
    for (Case const& k : cases) {
        SCOPED_TRACE(k.name);
        const size_t before = heapInUse();
        size_t held = 0;
        {
            CacheChange c(writerGuid(), nullptr);
            FragmentVerdict verdict = FragmentVerdict::Accepted;
            for (uint32_t f = 1; f <= k.fragmentsSent && verdict == FragmentVerdict::Accepted;
                 ++f) {
                verdict =
                    c.addFragmentData(k.sample, k.fragment, f, 1, bytes.data(), k.fragment, cap);
            }
            EXPECT_EQ(verdict, k.verdict);
            const size_t after = heapInUse();
            held = after > before ? after - before : 0;
            EXPECT_EQ(c.sampleInfo.data != nullptr,
                      uint64_t{k.fragmentsSent} * k.fragment * 4 >= k.sample);
        }
        EXPECT_LE(held, k.most);
        EXPECT_LE(held, size_t{cap} + 4096);
    }
}

namespace {

int g_destroyed[8];
size_t g_packedSize = 100;

bool fakePack(void const*, std::vector<uint8_t>& out) {
    out.assign(g_packedSize, 0x5A);
    return true;
}
template <int KIND>
void fakeDestroy(void*) {
    ++g_destroyed[KIND];
}
const RTPS::BuiltinRecordOps OPS[8] = {
    {nullptr, nullptr},         {nullptr, nullptr},         {nullptr, nullptr},
    {fakePack, fakeDestroy<3>}, {fakePack, fakeDestroy<4>}, {fakePack, fakeDestroy<5>},
    {fakePack, fakeDestroy<6>}, {fakePack, fakeDestroy<7>},
};

class CacheChangePayload : public ::testing::Test {
protected:
    void SetUp() override {
        for (int k = 3; k <= 7; ++k) {
            RTPS::setBuiltinRecordOps(static_cast<RTPS::OwnerTopicType>(k), &OPS[k]);
        }
        std::memset(g_destroyed, 0, sizeof g_destroyed);
        g_packedSize = 100;
    }
    void TearDown() override {
        for (int k = 3; k <= 7; ++k) {
            RTPS::setBuiltinRecordOps(static_cast<RTPS::OwnerTopicType>(k), nullptr);
        }
    }
};

}  // namespace

TEST_F(CacheChangePayload, WhatEachKindFrees) {
    int record = 0;
    RTPS::SampleInfo info{};
    info.data = &record;
    info.length = sizeof record;
    struct Case {
        RTPS::OwnerTopicType kind;
        int32_t payloadKind;
        bool packed;
        bool recordDestroyed;
    };
    const Case cases[] = {
        {RTPS::OWNER_USER, 0, false, false},
        {RTPS::OWNER_RECEIVED, 0, false, false},
        {RTPS::OWNER_PUBLICATION, 3, true, true},
        {RTPS::OWNER_SUBSCRIPTION, 4, true, true},
        {RTPS::OWNER_PARTICIPANT, 5, true, false},  // the participant's own record
        {RTPS::OWNER_TOPIC, 6, true, true},
        {RTPS::OWNER_PARTICIPANT_MESSAGE, 7, true, false},
    };
    for (Case const& k : cases) {
        std::memset(g_destroyed, 0, sizeof g_destroyed);
        {
            CacheChange c(writerGuid(), &info);
            EXPECT_TRUE(c.storePackedData(k.kind));
            EXPECT_EQ(c.payloadKind, k.payloadKind);
            EXPECT_EQ(c.packedLength, k.packed ? 100u : 0u);
            EXPECT_EQ(c.packedData.size(), c.packedLength);
        }
        int total = 0;
        for (int d : g_destroyed) {
            total += d;
        }
        EXPECT_EQ(total, k.recordDestroyed ? 1 : 0) << k.kind;
        if (k.recordDestroyed) {
            EXPECT_EQ(g_destroyed[k.kind], 1);
        }
    }
}

TEST_F(CacheChangePayload, PackedLengthAbove65535IsKept) {
    int record = 0;
    RTPS::SampleInfo info{};
    info.data = &record;
    g_packedSize = 70000;
    CacheChange c(writerGuid(), &info);
    ASSERT_TRUE(c.storePackedData(RTPS::OWNER_PUBLICATION));
    EXPECT_EQ(c.packedLength, 70000u);
}

TEST_F(CacheChangePayload, KindWithoutEncoderIsRefused) {
    RTPS::setBuiltinRecordOps(RTPS::OWNER_TOPIC, nullptr);
    int record = 0;
    RTPS::SampleInfo info{};
    info.data = &record;
    CacheChange c(writerGuid(), &info);
    EXPECT_FALSE(c.storePackedData(RTPS::OWNER_TOPIC));
    EXPECT_EQ(c.payloadKind, 0);
    EXPECT_FALSE(c.ownsRecord);
}

TEST_F(CacheChangePayload, ReceivedBuiltinRecordIsDestroyedByItsWritersKind) {
    int record = 0;
    RTPS::SampleInfo info{};
    info.data = &record;
    info.length = sizeof record;
    {
        CacheChange c(writerGuid(RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER), &info);
        c.payloadKind = RTPS::OWNER_RECEIVED;
        c.ownsRecord = true;
    }
    EXPECT_EQ(g_destroyed[RTPS::OWNER_SUBSCRIPTION], 1);
    {
        // Data that points into the message is not a record to destroy.
        CacheChange c(writerGuid(RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_WRITER), &info);
        c.payloadKind = RTPS::OWNER_RECEIVED;
    }
    EXPECT_EQ(g_destroyed[RTPS::OWNER_TOPIC], 0);
}

TEST(CacheChange, HoldsOneReferenceOnItsMessage) {
    uint8_t datagram[32] = {};
    auto* m = new RTPS::RTPSMessage(datagram, sizeof datagram);
    m->addReference();  // the test's own
    {
        CacheChange c(writerGuid(), nullptr);
        c.payloadKind = RTPS::OWNER_RECEIVED;
        c.attachMessage(m);
        c.attachMessage(m);
        EXPECT_EQ(m->getReferenceCount(), 2u);
    }
    EXPECT_EQ(m->getReferenceCount(), 1u);
    m->removeReference();  // deletes it
}
