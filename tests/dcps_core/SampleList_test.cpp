#include <gtest/gtest.h>

#include "dcps/subscriber/SampleList.h"

using vexa::dcps::Subscriber;
using Pool = Subscriber::SampleList;
using SampleCB = Subscriber::SampleCB;
using vexa::dds::SampleInfo;

TEST(SampleList, SlotsComeHighestFirstAndANewBlockFollowsAFullOne) {
    Pool pool;
    EXPECT_EQ(pool.capacity(), 1024u);
    EXPECT_EQ(pool.getFreeSample(), 1023);
    EXPECT_EQ(pool.getFreeSample(), 1022);
    for (int i = 2; i < 1024; ++i) {
        pool.getFreeSample();
    }
    EXPECT_EQ(pool.getFreeSample(), 2047);
    EXPECT_EQ(pool.capacity(), 2048u);
}

TEST(SampleList, ArrivalListKeepsOrderAcrossRemovals) {
    Pool pool;
    int32_t const a = pool.getFreeSample();
    int32_t const b = pool.getFreeSample();
    int32_t const c = pool.getFreeSample();
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    auto* owner = reinterpret_cast<vexa::dcps::Reader*>(0x10);
    for (int32_t s : {a, b, c}) {
        pool.addSample(s);
        pool.findSample(s, cb, info);
        cb->reader = owner;
    }
    pool.removeSample(b);
    EXPECT_EQ(pool.count(), 2u);
    EXPECT_EQ(pool.nextSampleAvailableForRead(-1, owner, cb, info), a);
    EXPECT_EQ(pool.nextSampleAvailableForRead(a, owner, cb, info), c);
    EXPECT_EQ(pool.nextSampleAvailableForRead(c, owner, cb, info), -1);
    // After a slot that is no longer occupied the walk ends.
    EXPECT_EQ(pool.nextSampleAvailableForRead(b, owner, cb, info), -1);
    // The freed slot is the next one handed out.
    EXPECT_EQ(pool.getFreeSample(), b);
}

// A sample info pointer from the application is only a number until the pool recognises it.
TEST(SampleList, FindByPointerAcceptsOnlyTheStartOfARecord) {
    Pool pool;
    pool.allocateBlock();
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    ASSERT_TRUE(pool.findSample(1500, cb, info));
    SampleInfo other;
    struct Case {
        char const* name;
        SampleInfo const* pointer;
        int32_t slot;
    } const cases[] = {
        {"start of a record in the second block", info, 1500},
        {"first record", info - 1500 + 1024, 1024},
        {"inside a record",
         reinterpret_cast<SampleInfo const*>(reinterpret_cast<char const*>(info) + 4), -1},
        {"outside every block", &other, -1},
        {"null", nullptr, -1},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        SampleCB* found = nullptr;
        EXPECT_EQ(pool.findSample(c.pointer, found), c.slot);
        EXPECT_EQ(found != nullptr, c.slot >= 0);
    }
    EXPECT_FALSE(pool.findSample(2048, cb, info));
    EXPECT_FALSE(pool.findSample(-1, cb, info));
}
