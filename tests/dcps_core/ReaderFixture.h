#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "CoreFixture.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeReader.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/SampleSeq.h"

namespace vexatest {

// One participant of the fake engine with a keyed topic "K", a keyless topic "L" and one
// subscriber. Samples reach readers as in the product: the test puts a change into the fake
// engine reader's history, the fake engine's thread announces it through changeAvailable, and
// the participant's data-handling thread files it.
class ReaderFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A reader of `topic` (the keyed one by default) with `qos`.
    vexa::dcps::Reader* makeReader(vexa::dds::DataReaderQos const& qos,
                                   vexa::dcps::Topic* topic = nullptr,
                                   vexa::dcps::Subscriber* subscriber = nullptr);
    FakeReader* engineOf(vexa::dcps::Reader* reader) const;

    // Puts a change of the keyed type into the reader's engine history and has the engine
    // announce it. `withHash`: the engine gives the key hash (else it is all zero).
    RTPS::SampleInfo* offer(vexa::dcps::Reader* reader, int32_t key, int32_t value,
                            uint32_t flags = RTPS::SAMPLE_ALIVE,
                            vexa::dds::Time_t source = {100, 0}, bool withHash = false);
    // The same from the writer {prefix, entityId}, with the writer's own instance handle.
    RTPS::SampleInfo* offerFrom(vexa::dcps::Reader* reader, unsigned const (&prefix)[3],
                                unsigned entityId, int32_t key, int32_t value,
                                uint32_t flags = RTPS::SAMPLE_ALIVE, int32_t instanceHandle = 0,
                                vexa::dds::Time_t source = {100, 0}, bool withHash = false);
    // Values of one key from one writer, announced as the changes of one datagram (`between`:
    // see FakeParticipant::queueDatagram).
    void offerDatagram(vexa::dcps::Reader* reader, int32_t key, std::vector<int32_t> const& values,
                       std::function<void(size_t)> between = nullptr);
    // The same with any payload.
    RTPS::SampleInfo* offerBytes(vexa::dcps::Reader* reader, std::vector<uint8_t> const& bytes,
                                 uint32_t flags = RTPS::SAMPLE_ALIVE,
                                 vexa::dds::Time_t source = {100, 0});
    // Until the engine has made its calls and the data-handling thread has filed everything it
    // can (what is left is postponed).
    void settle();

    vexa::dds::ReturnCode_t read(vexa::dcps::api::SampleSeq& seq, vexa::dcps::Reader* reader,
                                 int32_t max = -1);
    vexa::dds::ReturnCode_t take(vexa::dcps::api::SampleSeq& seq, vexa::dcps::Reader* reader,
                                 int32_t max = -1);
    vexa::dds::ReturnCode_t giveBack(vexa::dcps::api::SampleSeq& seq, vexa::dcps::Reader* reader);
    // Takes everything and returns it at once.
    void drainReader(vexa::dcps::Reader* reader);
    static int32_t keyOf(vexa::dcps::api::SampleSeq const& seq, size_t i);
    static int32_t valueOf(vexa::dcps::api::SampleSeq const& seq, size_t i);

    // A change of the keyed type put into the reader's engine history, not yet announced.
    RTPS::SampleInfo* heldChange(vexa::dcps::Reader* reader, unsigned const (&prefix)[3],
                                 unsigned entityId, int32_t key, int32_t value, uint32_t flags,
                                 int32_t instanceHandle, vexa::dds::Time_t source, bool withHash);

    vexa::dcps::RTPSCommunicationObject& comm() const { return *dp_->getCommunicationObject(); }
    vexa::dds::SampleLostStatus lost(vexa::dcps::Reader* reader);
    vexa::dds::SampleRejectedStatus rejected(vexa::dcps::Reader* reader);

    static vexa::dds::DataReaderQos qosOf(int32_t depth, int32_t maxSamples = -1,
                                          int32_t maxInstances = -1, int32_t perInstance = -1);

    vexa::dcps::DomainParticipant* dp_ = nullptr;
    FakeParticipant* engine_ = nullptr;
    vexa::dcps::Topic* keyed_ = nullptr;
    vexa::dcps::Topic* keyless_ = nullptr;
    vexa::dcps::Subscriber* sub_ = nullptr;
};

}  // namespace vexatest
