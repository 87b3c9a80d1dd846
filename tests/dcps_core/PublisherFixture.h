#pragma once

#include <gtest/gtest.h>

#include "CoreFixture.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeWriter.h"

namespace vexatest {

// A participant with the data-handling thread stopped (its clock moves only when a test
// advances it, and status checks run only when a test calls them), the two fake types, a keyed
// and a keyless topic, and one publisher.
class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A writer of the publisher on the keyed topic (or `topic`), with `qos`.
    vexa::dcps::Writer* create(vexa::dds::DataWriterQos const& qos,
                               vexa::dcps::Topic* topic = nullptr,
                               vexa::dcps::Publisher* publisher = nullptr);
    // The engine writer the fake made for a writer (null once it was taken away).
    static FakeWriter* engineOf(vexa::dcps::Writer* writer);
    void advanceClock(int64_t microseconds);

    // Writer QoS of a kind.
    static vexa::dds::DataWriterQos qos(
        vexa::dds::DurabilityQosPolicyKind durability,
        vexa::dds::ReliabilityQosPolicyKind reliability = vexa::dds::BEST_EFFORT_RELIABILITY_QOS,
        int32_t depth = 1);

    vexa::dcps::DomainParticipant* dp_ = nullptr;
    FakeParticipant* engine_ = nullptr;
    vexa::dcps::Topic* keyed_ = nullptr;
    vexa::dcps::Topic* keyless_ = nullptr;
    vexa::dcps::Publisher* pub_ = nullptr;
};

}  // namespace vexatest
