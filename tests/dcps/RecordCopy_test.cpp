#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "vexa/dds/DdsTypes.h"

using namespace vexa::dds;

namespace {

// Texts longer than the small-string buffer, so that they live on the heap: a copy that took the
// source's bytes instead of copying member by member would share these buffers.
std::string const LONG_TOPIC = "Sensors::TemperatureReadings/Building-7/Floor-3";
std::string const LONG_TYPE = "plant::sensors::TemperatureReading";
std::string const LONG_PARTITION = "раздел-очень-длинного-имени";

OctetSeq bytes(uint8_t first, size_t n) {
    OctetSeq v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(first + i);
    }
    return v;
}

// Overwrites an owned buffer in place, without reallocating it.
void scribble(std::string& s) {
    std::fill(s.begin(), s.end(), '#');
}
void scribble(OctetSeq& v) {
    std::fill(v.begin(), v.end(), 0xEE);
}
void scribble(StringSeq& names) {
    for (std::string& n : names) {
        scribble(n);
    }
}

// Per record: a value with every owned buffer non-empty, and a way to overwrite those buffers.
template <typename R>
struct Sample;

template <>
struct Sample<ParticipantBuiltinTopicData> {
    static ParticipantBuiltinTopicData make() {
        ParticipantBuiltinTopicData r;
        r.key.value[0] = 0x0102AAAA;
        r.key.value[1] = 0x03040506;
        r.key.value[2] = 0x0708090A;
        r.user_data.value = bytes(1, 300);
        return r;
    }
    static void scribbleOwned(ParticipantBuiltinTopicData& r) { scribble(r.user_data.value); }
};

template <>
struct Sample<TopicBuiltinTopicData> {
    static TopicBuiltinTopicData make() {
        TopicBuiltinTopicData r;
        r.key.value[0] = 0x8A;
        r.name = LONG_TOPIC;
        r.type_name = LONG_TYPE;
        r.durability.kind = TRANSIENT_DURABILITY_QOS;
        r.history.depth = 12;
        r.topic_data.value = bytes(7, 64);
        return r;
    }
    static void scribbleOwned(TopicBuiltinTopicData& r) {
        scribble(r.name);
        scribble(r.type_name);
        scribble(r.topic_data.value);
    }
};

template <>
struct Sample<PublicationBuiltinTopicData> {
    static PublicationBuiltinTopicData make() {
        PublicationBuiltinTopicData r;
        r.key.value[0] = 0x01000003;
        r.participant_key.value[0] = 0xAAAA;
        r.topic_name = LONG_TOPIC;
        r.type_name = LONG_TYPE;
        r.reliability.kind = RELIABLE_RELIABILITY_QOS;
        r.user_data.value = bytes(3, 40);
        r.partition.name = {LONG_PARTITION, "", LONG_TOPIC};
        r.topic_data.value = bytes(5, 50);
        r.group_data.value = bytes(9, 60);
        return r;
    }
    static void scribbleOwned(PublicationBuiltinTopicData& r) {
        scribble(r.topic_name);
        scribble(r.type_name);
        scribble(r.user_data.value);
        scribble(r.partition.name);
        scribble(r.topic_data.value);
        scribble(r.group_data.value);
    }
};

template <>
struct Sample<SubscriptionBuiltinTopicData> {
    static SubscriptionBuiltinTopicData make() {
        SubscriptionBuiltinTopicData r;
        r.key.value[0] = 0x01000004;
        r.participant_key.value[1] = 0x55;
        r.topic_name = LONG_TOPIC;
        r.type_name = LONG_TYPE;
        r.durability.kind = PERSISTENT_DURABILITY_QOS;
        r.user_data.value = bytes(3, 40);
        r.time_based_filter.minimum_separation = {1, 500};
        r.partition.name = {LONG_PARTITION};
        r.topic_data.value = bytes(5, 50);
        r.group_data.value = bytes(9, 60);
        return r;
    }
    static void scribbleOwned(SubscriptionBuiltinTopicData& r) {
        scribble(r.topic_name);
        scribble(r.type_name);
        scribble(r.user_data.value);
        scribble(r.partition.name);
        scribble(r.topic_data.value);
        scribble(r.group_data.value);
    }
};

template <>
struct Sample<DataWriterQos> {
    static DataWriterQos make() {
        DataWriterQos q = predefDataWriterQos();
        q.user_data.value = bytes(2, 100);
        q.ownership_strength.value = 4;
        return q;
    }
    static void scribbleOwned(DataWriterQos& q) { scribble(q.user_data.value); }
};

template <>
struct Sample<SubscriberQos> {
    static SubscriberQos make() {
        SubscriberQos q = predefSubscriberQos();
        q.partition.name = {LONG_PARTITION, LONG_TOPIC};
        q.group_data.value = bytes(0, 33);
        return q;
    }
    static void scribbleOwned(SubscriberQos& q) {
        scribble(q.partition.name);
        scribble(q.group_data.value);
    }
};

template <>
struct Sample<IncompatibleQosStatus> {
    static IncompatibleQosStatus make() {
        IncompatibleQosStatus s;
        s.total_count = s.total_count_change = 2;
        s.last_policy_id = RELIABILITY_QOS_POLICY_ID;
        s.policies = {{DURABILITY_QOS_POLICY_ID, 1}, {RELIABILITY_QOS_POLICY_ID, 1}};
        return s;
    }
    static void scribbleOwned(IncompatibleQosStatus& s) {
        for (QosPolicyCount& p : s.policies) {
            p.policy_id = -7;
            p.count = -7;
        }
    }
};

template <typename R>
class RecordCopy : public testing::Test {};

using Records = testing::Types<ParticipantBuiltinTopicData, TopicBuiltinTopicData,
                               PublicationBuiltinTopicData, SubscriptionBuiltinTopicData,
                               DataWriterQos, SubscriberQos, IncompatibleQosStatus>;
TYPED_TEST_SUITE(RecordCopy, Records);

}  // namespace

// A copy owns its own strings and sequences: overwriting and then freeing the source leaves
// it intact (a shared buffer would show as changed data, or as a use after free under ASan).
TYPED_TEST(RecordCopy, CopyOutlivesAndIgnoresItsSource) {
    TypeParam const expected = Sample<TypeParam>::make();
    auto source = std::make_unique<TypeParam>(Sample<TypeParam>::make());

    TypeParam constructed(*source);
    TypeParam assigned;
    assigned = *source;
    ASSERT_EQ(constructed, expected);
    ASSERT_EQ(assigned, expected);

    Sample<TypeParam>::scribbleOwned(*source);
    EXPECT_NE(*source, expected);
    source.reset();

    EXPECT_EQ(constructed, expected);
    EXPECT_EQ(assigned, expected);
}

// Assigning over a record that already holds other, larger contents replaces them entirely,
// and assigning a record to itself changes nothing.
TYPED_TEST(RecordCopy, AssignmentReplacesOldContentsAndSurvivesSelfAssignment) {
    TypeParam const expected = Sample<TypeParam>::make();
    TypeParam target = Sample<TypeParam>::make();
    Sample<TypeParam>::scribbleOwned(target);

    TypeParam const source = Sample<TypeParam>::make();
    target = source;
    EXPECT_EQ(target, expected);

    TypeParam& alias = target;
    target = alias;
    EXPECT_EQ(target, expected);
}

// Records are kept in growing tables by the core and the engine; moving them between
// reallocations keeps every member.
TYPED_TEST(RecordCopy, RecordsSurviveTableGrowth) {
    TypeParam const expected = Sample<TypeParam>::make();
    std::vector<TypeParam> table;
    for (int i = 0; i < 33; ++i) {
        table.push_back(Sample<TypeParam>::make());
    }
    for (TypeParam const& r : table) {
        EXPECT_EQ(r, expected);
    }
}
