#include "PublisherFixture.h"

#include "vexa/DataWriterImpl.h"

namespace vexatest {

using vexa::dcps::Writer;

void PublisherTest::SetUp() {
    dp_ = factory().createParticipant(testDomain(), nullptr);
    ASSERT_NE(dp_, nullptr);
    dp_->stopHandlingData();
    engine_ = FakeEngine::instance().newest();
    registerFakeTypes(dp_);
    keyed_ = dp_->createTopic("Keyed topic", "Keyed", nullptr, nullptr, 0);
    keyless_ = dp_->createTopic("Keyless topic", "Keyless", nullptr, nullptr, 0);
    pub_ = dp_->createPublisher(nullptr, nullptr, 0);
    ASSERT_TRUE(keyed_ && keyless_ && pub_);
}

void PublisherTest::TearDown() {
    factory().delete_participant(dp_);
    factory().collectGarbage();
    factory().collectGarbage();
}

Writer* PublisherTest::create(vexa::dds::DataWriterQos const& qos, vexa::dcps::Topic* topic,
                              vexa::dcps::Publisher* publisher) {
    publisher = publisher != nullptr ? publisher : pub_;
    auto* bridge = publisher->createDW(topic != nullptr ? topic : keyed_, &qos, nullptr, 0);
    return bridge != nullptr ? bridge->getEntity() : nullptr;
}

FakeWriter* PublisherTest::engineOf(Writer* writer) {
    return dynamic_cast<FakeWriter*>(writer->getRTPS());
}

void PublisherTest::advanceClock(int64_t microseconds) {
    dp_->getTimeService().advance(static_cast<uint64_t>(microseconds));
}

vexa::dds::DataWriterQos PublisherTest::qos(vexa::dds::DurabilityQosPolicyKind durability,
                                            vexa::dds::ReliabilityQosPolicyKind reliability,
                                            int32_t depth) {
    vexa::dds::DataWriterQos q = vexa::dds::predefDataWriterQos();
    q.durability.kind = durability;
    q.reliability.kind = reliability;
    q.history.depth = depth;
    return q;
}

}  // namespace vexatest
