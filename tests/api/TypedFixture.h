#pragma once

#include <cstring>
#include <vector>

#include "ApiFixture.h"
#include "dds/dds.hpp"
#include "fake/FakeEngine.h"
#include "fake/FakeReader.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"

// The fake keyed sample as a topic type of the typed handles: its type support registers the
// core record that ApiFixture.h made.
namespace vexatest {
class KeyedSampleTypeSupport {
public:
    vexa::dds::ReturnCode_t register_type(vexa::dcps::DomainParticipant* participant,
                                          char const* typeName) {
        return apitest::keyedTypeSupport().register_type(participant, typeName);
    }
};
}  // namespace vexatest

REGISTER_TOPIC_TRAITS(::vexatest::KeyedSample)

namespace apitest {

using Keyed = vexatest::KeyedSample;

// The fake engine reader behind a core reader.
inline vexatest::FakeReader* engineReaderOf(vexa::dcps::Reader* reader,
                                            vexatest::FakeParticipant** owner) {
    for (vexatest::FakeParticipant* p : vexatest::FakeEngine::instance().live()) {
        for (vexatest::FakeReader* r : p->userReaders()) {
            if (r->userData() == reader) {
                *owner = p;
                return r;
            }
        }
    }
    return nullptr;
}

// A sample of the keyed type arrives at the reader as from a remote writer; returns once the
// engine has announced it (the data-handling thread files it soon after).
inline void offer(vexa::dcps::Reader* reader, int32_t key, int32_t value) {
    vexatest::FakeParticipant* participant = nullptr;
    vexatest::FakeReader* engine = engineReaderOf(reader, &participant);
    ASSERT_NE(engine, nullptr);
    Keyed s;
    s.key = key;
    s.value = value;
    std::vector<uint8_t> bytes(vexatest::KeyedTypeSupport::PACKED_SIZE);
    vexatest::KeyedTypeSupport packer;
    ASSERT_EQ(packer.pack(bytes.data(), static_cast<unsigned>(bytes.size()), &s), bytes.size());
    RTPS::SampleInfo info{};
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.sourceTimestamp = {100, 0};
    info.length = bytes.size();
    static uint32_t seq = 2000000;
    info.sequenceNumber.low = ++seq;
    unsigned const prefix[3] = {7, 8, 9};
    RTPS::SampleInfo* handle =
        engine->addHeldChange(info, bytes.data(), bytes.size(), prefix, 0x102);
    participant->queueChangeAvailable(engine, reader, handle);
    participant->drain();
}

// One participant and one topic of Keyed for all the tests of a suite, named by the suite's
// public `static constexpr char const* TOPIC`. A suite that needs more makes it in its own
// SetUpTestSuite after this one's and deletes it in its TearDownTestSuite before this one's.
template <typename SUITE>
class KeyedTopicSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dp_ = new dds::domain::DomainParticipant(DOMAIN);
        topic_ = new dds::topic::Topic<Keyed>(*dp_, SUITE::TOPIC);
    }
    static void TearDownTestSuite() {
        delete topic_;
        topic_ = nullptr;
        delete dp_;
        dp_ = nullptr;
    }

    static inline dds::domain::DomainParticipant* dp_ = nullptr;
    static inline dds::topic::Topic<Keyed>* topic_ = nullptr;
};

}  // namespace apitest
