#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "vexa/topic/BuiltinTopicTypeSupportFactoryTemplate.hpp"

namespace {

using vexa::topic::ParticipantBuiltinTopicDataTypeSupportFactory;
using vexa::topic::PublicationBuiltinTopicDataTypeSupportFactory;
using vexa::topic::SubscriptionBuiltinTopicDataTypeSupportFactory;
using vexa::topic::TopicBuiltinTopicDataTypeSupportFactory;
using Factory = vexa::dcps::api::TypeSupportFactoryImpl;

// Buffers of exactly the given size on the heap, so AddressSanitizer sees a one-byte overrun.
std::unique_ptr<uint8_t[]> exactBuffer(size_t n, uint8_t fill) {
    std::unique_ptr<uint8_t[]> b(new uint8_t[n]);
    std::memset(b.get(), fill, n);
    return b;
}

vexa::dds::TopicBuiltinTopicData topicRecord() {
    vexa::dds::TopicBuiltinTopicData r;
    r.key.value[0] = 0x0102038A;
    r.key.value[1] = 5;
    r.key.value[2] = 6;
    r.name = "a topic name long enough to live on the heap";
    r.type_name = "M::T";
    r.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    r.reliability = {vexa::dds::RELIABLE_RELIABILITY_QOS, {1, 2}};
    r.history = {vexa::dds::KEEP_ALL_HISTORY_QOS, 1};
    r.topic_data.value = {1, 2, 3, 4};
    return r;
}

TEST(BuiltinTypeSupport, KeyHashIsTheKeyInMemoryOrder) {
    Factory const* f = ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    auto rec = std::make_unique<vexa::dds::ParticipantBuiltinTopicData>();
    rec->key.value[0] = 1;
    rec->key.value[1] = 2;
    rec->key.value[2] = 3;
    void* obj = f->unpack(rec.get(), sizeof *rec);
    ASSERT_NE(obj, nullptr);
    vexa::dds::KeyHash_t const h = f->keyHash(obj);
    uint8_t const expected[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(h.hash, expected, 16), 0);
    EXPECT_TRUE(f->hasKey());
    EXPECT_EQ(f->keylenPacked(obj), 12u);
    EXPECT_EQ(f->lenPacked(obj), sizeof(vexa::dds::ParticipantBuiltinTopicData));
    EXPECT_EQ(f->maxlenPacked(), sizeof(vexa::dds::ParticipantBuiltinTopicData));
    EXPECT_EQ(f->pack(nullptr, 0, obj), 0u);
    EXPECT_EQ(f->create_datawriter(nullptr), nullptr);
    f->deleteObject(obj);
}

TEST(BuiltinTypeSupport, PackKeyNeedsTwelveBytes) {
    Factory const* f = ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    dds::topic::ParticipantBuiltinTopicData sample;
    sample.delegate().key(vexa::dds::BuiltinTopicKey_t{{7, 8, 9}});

    auto small = exactBuffer(11, 0xEE);
    EXPECT_EQ(f->packKey(small.get(), 11, &sample), 0u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(small[i], 0xEE) << "byte " << i << " written";
    }
    auto fit = exactBuffer(12, 0xEE);
    ASSERT_EQ(f->packKey(fit.get(), 12, &sample), 12u);
    EXPECT_EQ(std::memcmp(fit.get(), sample.key().value, 12), 0);

    // The packed key compares equal to the sample's, and to a whole record starting with it.
    EXPECT_TRUE(f->keyEqual(&sample, fit.get(), 12, true));
    EXPECT_TRUE(f->keyEqual(fit.get(), 12, fit.get(), 12, false));
    fit[11] ^= 1;
    EXPECT_FALSE(f->keyEqual(&sample, fit.get(), 12, true));
}

TEST(BuiltinTypeSupport, UnpackedObjectIsIndependentOfItsRecord) {
    Factory const* f = TopicBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    auto rec = std::make_unique<vexa::dds::TopicBuiltinTopicData>(topicRecord());
    auto* obj = static_cast<dds::topic::TopicBuiltinTopicData*>(f->unpack(rec.get(), sizeof *rec));
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->delegate().record(), *rec);
    EXPECT_EQ(obj->name(), rec->name);
    EXPECT_EQ(obj->topic_data().value, rec->topic_data.value);

    vexa::dds::TopicBuiltinTopicData const before = *rec;
    rec->name.assign("changed afterwards, also long enough for the heap");
    rec->topic_data.value.assign(100, 0xAB);
    rec->reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS;
    rec.reset();  // freed: the object must hold copies of its own
    EXPECT_EQ(obj->delegate().record(), before);
    EXPECT_EQ(obj->type_name(), "M::T");

    // Copies and moves leave the source as it was.
    dds::topic::TopicBuiltinTopicData other;
    EXPECT_EQ(f->moveObject(&other, obj), sizeof(vexa::dds::TopicBuiltinTopicData));
    EXPECT_EQ(other.delegate().record(), before);
    EXPECT_EQ(obj->delegate().record(), before);
    EXPECT_EQ(f->copyObject(obj, obj), sizeof(vexa::dds::TopicBuiltinTopicData));
    EXPECT_EQ(obj->delegate().record(), before);
    f->deleteObject(obj);
    f->deleteObject(nullptr);
}

TEST(BuiltinTypeSupport, UnpackIntoAnObjectAndKeyOnly) {
    Factory const* f = PublicationBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    auto rec = std::make_unique<vexa::dds::PublicationBuiltinTopicData>();
    rec->key = {{1, 2, 3}};
    rec->partition.name = {"x", "y"};
    dds::topic::PublicationBuiltinTopicData target;
    EXPECT_EQ(f->unpack(&target, rec.get(), sizeof *rec), &target);
    EXPECT_EQ(target.partition().name, rec->partition.name);

    auto key = exactBuffer(12, 0);
    key[0] = 0x44;
    auto* keyed =
        static_cast<dds::topic::PublicationBuiltinTopicData*>(f->unpackKey(key.get(), 12));
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(keyed->key().value[0], 0x44u);
    EXPECT_EQ(keyed->topic_name(), "");
    // A fresh sample has the API defaults, not the core's.
    EXPECT_EQ(keyed->reliability().max_blocking_time, vexa::dds::DURATION_ZERO);
    EXPECT_EQ(keyed->partition().name, (vexa::dds::StringSeq{""}));
    EXPECT_EQ(f->unpackKey(&target, key.get(), 12), &target);
    EXPECT_EQ(target.key().value[0], 0x44u);
    EXPECT_EQ(target.key().value[1], 0u);
    f->deleteObject(keyed);
}

TEST(BuiltinTypeSupport, AllocateGivesObjectsOneStrideApart) {
    Factory const* f = SubscriptionBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    void* block = nullptr;
    size_t stride = 0;
    void* first = f->allocate(3, block, stride);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(block, first);
    EXPECT_EQ(stride, sizeof(dds::topic::SubscriptionBuiltinTopicData));
    auto rec = std::make_unique<vexa::dds::SubscriptionBuiltinTopicData>();
    for (uint32_t i = 0; i < 3; ++i) {
        rec->topic_name = std::string(40, char('a' + i));  // heap strings the delete must free
        rec->key.value[0] = i;
        void* at = static_cast<char*>(first) + i * stride;
        ASSERT_EQ(f->unpack(at, rec.get(), sizeof *rec), at);
    }
    for (uint32_t i = 0; i < 3; ++i) {
        auto const* s = reinterpret_cast<dds::topic::SubscriptionBuiltinTopicData const*>(
            static_cast<char*>(first) + i * stride);
        EXPECT_EQ(s->key().value[0], i);
        EXPECT_EQ(s->topic_name(), std::string(40, char('a' + i)));
    }
    f->deleteAllocatedObjects(block);  // the leak checker sees any string left behind
    f->deleteAllocatedObjects(nullptr);

    EXPECT_EQ(f->allocate(0, block, stride), nullptr);
    EXPECT_EQ(block, nullptr);
}

// Lengths that break a precondition are refused in every build, before anything is read.
TEST(BuiltinTypeSupport, WrongLengthsAreRefused) {
    Factory const* f = TopicBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    size_t const recLen = sizeof(vexa::dds::TopicBuiltinTopicData);
    auto shortRec = exactBuffer(recLen - 1, 0x5A);
    auto longRec = exactBuffer(recLen + 1, 0x5A);
    auto key11 = exactBuffer(11, 0x5A);
    auto key13 = exactBuffer(13, 0x5A);
    dds::topic::TopicBuiltinTopicData obj;
    obj.delegate().assign(topicRecord());
    auto const before = obj.delegate().record();

    EXPECT_EQ(f->unpack(shortRec.get(), unsigned(recLen - 1)), nullptr);
    EXPECT_EQ(f->unpack(longRec.get(), unsigned(recLen + 1)), nullptr);
    EXPECT_EQ(f->unpack(&obj, shortRec.get(), unsigned(recLen - 1)), nullptr);
    EXPECT_EQ(f->unpack(nullptr, 0), nullptr);
    EXPECT_EQ(f->unpackKey(key11.get(), 11), nullptr);
    EXPECT_EQ(f->unpackKey(key13.get(), 13), nullptr);
    EXPECT_EQ(f->unpackKey(&obj, key11.get(), 11), nullptr);
    EXPECT_FALSE(f->keyEqual(&obj, key11.get(), 11, true));
    EXPECT_FALSE(f->keyEqual(key11.get(), 11, key13.get(), 13, true));
    EXPECT_FALSE(f->keyEqual(key13.get(), 13, key13.get(), 13, true));
    EXPECT_FALSE(f->keyEqual(key13.get(), 12, key11.get(), 11, true));
    EXPECT_EQ(obj.delegate().record(), before);
}

TEST(BuiltinTypeSupport, OneFactoryPerTopicWithoutARegistryEntry) {
    auto* a = ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    EXPECT_EQ(a, ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory());
    EXPECT_EQ(a->typeSupportCB(), nullptr);
    Factory const* b = TopicBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory();
    EXPECT_NE(static_cast<void const*>(a), static_cast<void const*>(b));
}

}  // namespace
