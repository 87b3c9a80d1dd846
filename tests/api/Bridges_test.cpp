// The untyped bridges under the typed handles: which core access each reader operation asks
// for, and the type support's registration codes.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "vexa/DataReaderImpl.h"

namespace {

using apitest::Keyed;
using dds::domain::DomainParticipant;
using vexa::dcps::api::DataReaderImpl;
using vexa::dcps::api::SampleSeq;

class BridgeTest : public apitest::KeyedTopicSuite<BridgeTest> {
public:
    static constexpr char const* TOPIC = "BridgeKeyed";
};

constexpr auto ANY_SAMPLE = vexa::dds::ANY_SAMPLE_STATE;
constexpr auto ANY_VIEW = vexa::dds::ANY_VIEW_STATE;
constexpr auto ANY_INSTANCE = vexa::dds::ANY_INSTANCE_STATE;

// The keys of the lent samples, sorted; the loan goes back.
std::vector<int32_t> keysOf(DataReaderImpl* bridge, SampleSeq& seq) {
    std::vector<int32_t> keys;
    for (void* data : seq.data) {
        keys.push_back(static_cast<Keyed const*>(data)->key);
    }
    if (!seq.empty()) {
        EXPECT_EQ(bridge->return_loan(seq), vexa::dds::RETCODE_OK);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Read and take map to the core's loans with their keep and next flags: read keeps, take
// removes, *_instance stays on the instance, *_next_instance moves to the following one. The
// condition forms are not supported and touch nothing.
TEST_F(BridgeTest, readAndTakeFormsLendWhatTheirFlagsSay) {
    using Op = std::function<vexa::dds::ReturnCode_t(DataReaderImpl*, SampleSeq&,
                                                     vexa::dds::InstanceHandle_t)>;
    struct Case {
        char const* name;
        Op op;
        vexa::dds::ReturnCode_t rc;
        std::vector<int32_t> lent, left;
    } const cases[] = {
        {"read",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t) {
             return b->read(s, -1, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {1, 2},
         {1, 2}},
        {"take",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t) {
             return b->take(s, -1, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {1, 2},
         {}},
        {"read_instance",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->read_instance(s, -1, h, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {1},
         {1, 2}},
        {"take_instance",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->take_instance(s, -1, h, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {1},
         {2}},
        {"read_next_instance",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->read_next_instance(s, -1, h, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {2},
         {1, 2}},
        {"take_next_instance",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->take_next_instance(s, -1, h, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
         },
         vexa::dds::RETCODE_OK,
         {2},
         {1}},
        {"read_w_condition",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t) {
             return b->read_w_condition(s, -1, nullptr);
         },
         vexa::dds::RETCODE_UNSUPPORTED,
         {},
         {1, 2}},
        {"take_w_condition",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t) {
             return b->take_w_condition(s, -1, nullptr);
         },
         vexa::dds::RETCODE_UNSUPPORTED,
         {},
         {1, 2}},
        {"read_next_instance_w_condition",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->read_next_instance_w_condition(s, -1, h, nullptr);
         },
         vexa::dds::RETCODE_UNSUPPORTED,
         {},
         {1, 2}},
        {"take_next_instance_w_condition",
         [](DataReaderImpl* b, SampleSeq& s, vexa::dds::InstanceHandle_t h) {
             return b->take_next_instance_w_condition(s, -1, h, nullptr);
         },
         vexa::dds::RETCODE_UNSUPPORTED,
         {},
         {1, 2}},
    };
    dds::sub::Subscriber sub(*dp_);
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        dds::sub::DataReader<Keyed> reader(sub, *topic_);
        DataReaderImpl* bridge = reader->bridge();
        // Wakes while a sample is not read yet; reading marks it read.
        dds::core::cond::WaitSet ws;
        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::new_data());
        ws += arrived;
        apitest::offer(reader->reader(), 1, 10);
        apitest::offer(reader->reader(), 2, 20);
        // Both instances are filed (the data-handling thread files them after the offers).
        std::vector<int32_t> all;
        while (all.size() < 2) {
            try {
                ws.wait(dds::core::Duration(5, 0));
            } catch (dds::core::TimeoutError const&) {
                break;
            }
            SampleSeq seq;
            bridge->read(seq, -1, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
            all = keysOf(bridge, seq);
        }
        ASSERT_EQ(all, (std::vector<int32_t>{1, 2}));
        Keyed first;
        first.key = 1;
        first.value = 0;
        vexa::dds::InstanceHandle_t const h1 = bridge->lookup_instance(&first);
        ASSERT_NE(h1, 0);

        SampleSeq lent;
        EXPECT_EQ(c.op(bridge, lent, h1), c.rc);
        EXPECT_EQ(keysOf(bridge, lent), c.lent);
        SampleSeq rest;
        bridge->read(rest, -1, ANY_SAMPLE, ANY_VIEW, ANY_INSTANCE);
        EXPECT_EQ(keysOf(bridge, rest), c.left);
    }
}

// Registration codes: no registry entry, no participant, and the name an empty one stands for.
TEST_F(BridgeTest, registerTypeCodesAndTheNameItRegistersUnder) {
    vexatest::KeyedTypeSupport unlisted;
    vexa::dcps::api::TypeSupportImpl none("", &unlisted);
    EXPECT_EQ(none.get_type_name(), nullptr);
    EXPECT_EQ(none.register_type((*dp_)->participant(), "Keyed"),
              vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    vexa::dcps::api::TypeSupportImpl& keyed = apitest::keyedTypeSupport();
    EXPECT_EQ(keyed.register_type(nullptr, "Keyed"), vexa::dds::RETCODE_BAD_PARAMETER);

    DomainParticipant dp(apitest::DOMAIN);
    auto const q = dp.default_topic_qos();
    EXPECT_EQ(dp->create_topic("BeforeRegistration", "Keyed", q), nullptr);
    EXPECT_EQ(keyed.register_type(dp->participant(), ""), vexa::dds::RETCODE_OK);
    EXPECT_NE(dp->create_topic("UnderTheRecordsName", "Keyed", q), nullptr);
    EXPECT_EQ(keyed.register_type(dp->participant(), "Alias"), vexa::dds::RETCODE_OK);
    EXPECT_NE(dp->create_topic("UnderAnAlias", "Alias", q), nullptr);
}

}  // namespace
