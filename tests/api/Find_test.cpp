// dds::sub::find and dds::pub::find as an application calls them: a subscriber's reader or a
// publisher's writer by topic name, the readers holding samples in given states, and the
// built-in subscriber's readers, through which discovery data is read.

#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "fake/FakeParticipant.h"

namespace {

using apitest::Keyed;
using dds::domain::DomainParticipant;
using dds::pub::AnyDataWriter;
using dds::pub::DataWriter;
using dds::sub::AnyDataReader;
using dds::sub::DataReader;
using dds::sub::status::DataState;
using dds::topic::ParticipantBuiltinTopicData;

class FindTest : public apitest::KeyedTopicSuite<FindTest> {
public:
    static constexpr char const* TOPIC = "FindKeyed";

protected:
    static void SetUpTestSuite() {
        KeyedTopicSuite::SetUpTestSuite();
        other_ = new dds::topic::Topic<Keyed>(*dp_, "FindOther");
    }
    static void TearDownTestSuite() {
        delete other_;
        other_ = nullptr;
        KeyedTopicSuite::TearDownTestSuite();
    }

    static inline dds::topic::Topic<Keyed>* other_ = nullptr;
};

// By topic name: the reader of that topic, as a typed handle of its own type or as an
// AnyDataReader; nothing for another topic, another sample type or no room.
TEST_F(FindTest, subscriberReaderByTopicName) {
    dds::sub::Subscriber sub(*dp_);
    DataReader<Keyed> reader(sub, *topic_);

    std::vector<DataReader<Keyed>> typed;
    EXPECT_EQ(dds::sub::find<DataReader<Keyed>>(sub, "FindKeyed", std::back_inserter(typed)), 1u);
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_TRUE(typed[0] == reader);

    std::vector<AnyDataReader> any;
    EXPECT_EQ(dds::sub::find<AnyDataReader>(sub, "FindKeyed", std::back_inserter(any)), 1u);
    ASSERT_EQ(any.size(), 1u);
    EXPECT_TRUE(any[0] == AnyDataReader(reader));
    EXPECT_EQ(any[0].topic_name(), "FindKeyed");
    EXPECT_TRUE(any[0].get<DataReader<Keyed>>() == reader);

    std::vector<DataReader<Keyed>> slots(2, DataReader<Keyed>(dds::core::null_type()));
    EXPECT_EQ(dds::sub::find<DataReader<Keyed>>(sub, "FindKeyed", slots.begin(), 2), 1u);
    EXPECT_TRUE(slots[0] == reader);
    EXPECT_EQ(slots[1].delegate(), nullptr) << "written past what was found";

    std::vector<DataReader<ParticipantBuiltinTopicData>> wrongType;
    EXPECT_EQ(dds::sub::find<DataReader<ParticipantBuiltinTopicData>>(
                  sub, "FindKeyed", std::back_inserter(wrongType)),
              0u);
    EXPECT_TRUE(wrongType.empty());
    EXPECT_EQ(dds::sub::find<AnyDataReader>(sub, "FindOther", std::back_inserter(any)), 0u);
    EXPECT_EQ(dds::sub::find<DataReader<Keyed>>(sub, "FindKeyed", slots.begin(), 0), 0u);
    EXPECT_EQ(any.size(), 1u);

    sub.close();
    apitest::expectThrowText<dds::core::AlreadyClosedError>(
        [&] { dds::sub::find<AnyDataReader>(sub, "FindKeyed", std::back_inserter(any)); },
        "Subscriber is already closed at SubscriberDelegate:337");
    apitest::expectThrowText<dds::core::AlreadyClosedError>(
        [&] { dds::sub::find<AnyDataReader>(sub, DataState::any(), std::back_inserter(any)); },
        "Subscriber is already closed at SubscriberDelegate:357");
}

// By state: the readers that hold samples in those states, and only those.
TEST_F(FindTest, subscriberReadersByTheStatesOfTheirSamples) {
    dds::sub::Subscriber sub(*dp_);
    DataReader<Keyed> quiet(sub, *other_);
    DataReader<Keyed> busy(sub, *topic_);
    dds::sub::cond::ReadCondition arrived(busy, DataState::new_data());
    dds::core::cond::WaitSet ws;
    ws += arrived;
    apitest::offer(busy->reader(), 1, 1);
    ws.wait(dds::core::Duration(5, 0));

    std::vector<AnyDataReader> found;
    EXPECT_EQ(dds::sub::find<AnyDataReader>(sub, DataState::new_data(), std::back_inserter(found)),
              1u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0] == AnyDataReader(busy));

    std::vector<DataReader<Keyed>> typed(1, DataReader<Keyed>(dds::core::null_type()));
    EXPECT_EQ(dds::sub::find<DataReader<Keyed>>(sub, DataState::any(), typed.begin(), 1), 1u);
    EXPECT_TRUE(typed[0] == busy);

    busy.read();
    found.clear();
    EXPECT_EQ(dds::sub::find<AnyDataReader>(sub, DataState::new_data(), std::back_inserter(found)),
              0u);
    EXPECT_EQ(dds::sub::find<AnyDataReader>(sub, DataState::any(), std::back_inserter(found)), 1u);
}

// By topic name: the publisher's writer, typed or as an AnyDataWriter.
TEST_F(FindTest, publisherWriterByTopicName) {
    dds::pub::Publisher pub(*dp_);
    DataWriter<Keyed> writer(pub, *topic_);

    std::vector<DataWriter<Keyed>> typed;
    EXPECT_EQ(dds::pub::find<DataWriter<Keyed>>(pub, "FindKeyed", std::back_inserter(typed)), 1u);
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_TRUE(typed[0] == writer);

    std::vector<AnyDataWriter> any(1, AnyDataWriter(writer));
    EXPECT_EQ(dds::pub::find<AnyDataWriter>(pub, "FindKeyed", any.begin(), 1), 1u);
    EXPECT_TRUE(any[0] == AnyDataWriter(writer));
    EXPECT_EQ(any[0].topic_name(), "FindKeyed");

    std::vector<DataWriter<ParticipantBuiltinTopicData>> wrongType;
    EXPECT_EQ(dds::pub::find<DataWriter<ParticipantBuiltinTopicData>>(
                  pub, "FindKeyed", std::back_inserter(wrongType)),
              0u);
    EXPECT_EQ(dds::pub::find<DataWriter<Keyed>>(pub, "FindOther", std::back_inserter(typed)), 0u);
    EXPECT_EQ(typed.size(), 1u);

    pub.close();
    apitest::expectThrowText<dds::core::AlreadyClosedError>(
        [&] { dds::pub::find<AnyDataWriter>(pub, "FindKeyed", any.begin(), 1); },
        "Publisher is already closed at PublisherDelegate:321");
}

// The built-in subscriber's participant reader is found as a typed reader of the built-in
// type (not of another) and delivers what discovery learns; a second find gives the same
// reader, and a find by state lists it under its topic name.
TEST(FindBuiltin, participantReaderDeliversDiscoveredParticipants) {
    DomainParticipant dp(apitest::DOMAIN);
    vexatest::FakeParticipant* engine = vexatest::FakeEngine::instance().newest();
    dds::sub::Subscriber builtin = dds::sub::builtin_subscriber(dp);

    std::vector<DataReader<ParticipantBuiltinTopicData>> readers;
    ASSERT_EQ(dds::sub::find<DataReader<ParticipantBuiltinTopicData>>(builtin, "DCPSParticipant",
                                                                      std::back_inserter(readers)),
              1u);
    DataReader<ParticipantBuiltinTopicData>& reader = readers[0];
    std::vector<DataReader<Keyed>> wrongType;
    EXPECT_EQ(dds::sub::find<DataReader<Keyed>>(builtin, "DCPSParticipant",
                                                std::back_inserter(wrongType)),
              0u);

    dds::sub::cond::ReadCondition arrived(reader, DataState::new_data());
    dds::core::cond::WaitSet ws;
    ws += arrived;
    unsigned const peer[3] = {0xAAAA0101u, 2u, 3u};
    vexa::dds::ParticipantBuiltinTopicData record;
    for (unsigned i = 0; i < 3; ++i) {
        record.key.value[i] = peer[i];
    }
    RTPS::SampleInfo info{};
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.length = sizeof record;
    vexatest::FakeReader* announcements =
        engine->builtinReader(vexatest::FakeParticipant::PARTICIPANT_READER);
    RTPS::SampleInfo* change =
        announcements->addHeldChange(info, &record, sizeof record, peer, 0x1C1);
    engine->queueChangeAvailable(announcements, nullptr, change);
    engine->drain();
    ws.wait(dds::core::Duration(5, 0));

    std::vector<AnyDataReader> withData;
    EXPECT_EQ(
        dds::sub::find<AnyDataReader>(builtin, DataState::new_data(), std::back_inserter(withData)),
        1u);
    ASSERT_EQ(withData.size(), 1u);
    EXPECT_TRUE(withData[0] == AnyDataReader(reader));
    EXPECT_EQ(withData[0].topic_name(), "DCPSParticipant");
    EXPECT_EQ(withData[0].type_name(), "dds::topic::ParticipantBuiltinTopicData");

    dds::sub::LoanedSamples<ParticipantBuiltinTopicData> samples = reader.take();
    ASSERT_EQ(samples.length(), 1u);
    ASSERT_TRUE(samples[0].info().valid());
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[0].data().key().value[i], peer[i]) << i;
    }

    std::vector<DataReader<ParticipantBuiltinTopicData>> again;
    dds::sub::find<DataReader<ParticipantBuiltinTopicData>>(builtin, "DCPSParticipant",
                                                            std::back_inserter(again));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0] == reader);
    dp.close();
}

}  // namespace
