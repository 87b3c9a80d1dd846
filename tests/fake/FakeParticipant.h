#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "dcps/lock/OrderedMutex.h"
#include "fake/CallGate.h"
#include "fake/EngineScript.h"
#include "fake/FakeReader.h"
#include "fake/FakeWriter.h"
#include "rtps/participant/CommunicationMode.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/Participant.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexatest {

// The engine participant of the fake engine: it keeps what it was given and what the core
// asked of it, hands out fake endpoints, and makes the engine's calls into the core on a
// delivery thread of its own, in the order a test queued them and holding none of its locks.
class FakeParticipant : public RTPS::Participant {
public:
    // Built-in endpoints that a test wants absent (getters return null): bits by index below.
    enum BuiltinIndex : unsigned {
        PARTICIPANT_WRITER,
        SUBSCRIPTION_WRITER,
        PUBLICATION_WRITER,
        TOPIC_WRITER,
        PARTICIPANT_READER,
        SUBSCRIPTION_READER,
        PUBLICATION_READER,
        TOPIC_READER,
    };
    template <class Data>
    struct Endpoint {
        Data data;
        RTPS::RTPS_AdditionalTopicData extra;
        RTPS::TOPIC_KIND kind;
        int samples;
        void* userData;
    };
    enum class DeliveryResult { Delivered, TimedOut, Throw, WaitForAck };

    FakeParticipant(unsigned id, RTPS::CommunicationObject* communicationObject,
                    RTPS::COMMUNICATION_MODE mode,
                    vexa::dds::ParticipantBuiltinTopicData const& data, unsigned domainId,
                    bool dsvcServer, Failure startFailure, unsigned nullEndpoints,
                    bool cheapWriters);
    ~FakeParticipant() override;

    void start() override;
    RTPS::Writer* addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                            RTPS::RTPS_AdditionalTopicData const& extra, RTPS::TOPIC_KIND kind,
                            int samples) override;
    RTPS::Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                            RTPS::RTPS_AdditionalTopicData const& extra, RTPS::TOPIC_KIND kind,
                            int samples, void* userData) override;
    void setQoS(vexa::dds::ParticipantBuiltinTopicData const& data,
                RTPS::RTPS_AdditionalTopicData const& extra) override;
    int checkDelivery(std::vector<RTPS::Writer*>& writers, vexa::dds::Duration_t timeout) override;
    RTPS::Writer* getDCPSParticipantWriter() override;
    RTPS::Writer* getDCPSSubscriptionWriter() override;
    RTPS::Writer* getDCPSPublicationWriter() override;
    RTPS::Writer* getDCPSTopicWriter() override;
    RTPS::Reader* getDCPSParticipantReader() override;
    RTPS::Reader* getDCPSSubscriptionReader() override;
    RTPS::Reader* getDCPSPublicationReader() override;
    RTPS::Reader* getDCPSTopicReader() override;
    void dataRecipient(void* data, unsigned short length) override;

    // What creation got.
    unsigned id() const { return id_; }
    RTPS::CommunicationObject* communicationObject() const { return comm_; }
    RTPS::COMMUNICATION_MODE mode() const { return mode_; }
    vexa::dds::ParticipantBuiltinTopicData const& data() const { return data_; }
    unsigned domainId() const { return domainId_; }
    bool dsvcServer() const { return dsvc_; }
    bool started() const { return started_.load(); }

    // The built-in endpoints, also those the getters hide.
    FakeWriter* builtinWriter(BuiltinIndex i) const;
    FakeReader* builtinReader(BuiltinIndex i) const;

    // Script.
    void failNextAddWriter(Failure how);
    void failNextAddReader(Failure how);
    void setDeliveryResult(DeliveryResult r, Failure how = Failure::DDSI);
    // Lets a checkDelivery that waits return 1.
    void acknowledge();
    // Holds setQoS calls while closed.
    CallGate& setQosGate() { return setQosGate_; }

    // Record.
    std::vector<Endpoint<vexa::dds::PublicationBuiltinTopicData>> writers() const;
    std::vector<Endpoint<vexa::dds::SubscriptionBuiltinTopicData>> readers() const;
    std::vector<FakeWriter*> userWriters() const;
    std::vector<FakeReader*> userReaders() const;
    std::vector<vexa::dds::ParticipantBuiltinTopicData> qosChanges() const;
    unsigned deliveryChecks() const { return deliveryChecks_.load(); }

    // Engine calls into the core, made in order on the delivery thread.
    void queueChangeAvailable(RTPS::Reader* reader, void* userData, RTPS::SampleInfo* sample);
    // The changes of one datagram: announced one after the other inside one receive batch, as
    // the message receiver does; `between`, when given, is called inside the batch after
    // each announcement with the number announced so far.
    void queueDatagram(RTPS::Reader* reader, void* userData,
                       std::vector<RTPS::SampleInfo*> const& samples,
                       std::function<void(size_t)> between = nullptr);
    void queueAssertLiveliness(RTPS::Reader* reader, void* userData, unsigned const (&prefix)[3],
                               unsigned entityId);
    void queueParticipantLost(unsigned const (&prefix)[3]);
    // From now until the participant is destroyed, whenever its queue is empty, the delivery
    // thread reports a change of `builtinReader`, a liveliness assertion and the loss of
    // `prefix`, over and over: an engine busy calling back.
    void callBackContinuously(RTPS::Reader* builtinReader, unsigned const (&prefix)[3]);
    // Waits until every queued call has been made and has returned.
    void drain();
    // The same for at most `limit`; false when a call is still queued or running.
    bool drainFor(std::chrono::milliseconds limit);
    // Results of the changeAvailable calls made so far, in order.
    std::vector<bool> changeAvailableResults() const;

private:
    void queue(std::function<void()> call);
    void deliveryLoop();

    unsigned const id_;
    RTPS::CommunicationObject* const comm_;
    RTPS::COMMUNICATION_MODE const mode_;
    vexa::dds::ParticipantBuiltinTopicData const data_;
    unsigned const domainId_;
    bool const dsvc_;
    Failure const startFailure_;
    unsigned const nullEndpoints_;
    bool const cheapWriters_;
    std::atomic<bool> started_{false};
    std::atomic<unsigned> deliveryChecks_{0};

    mutable vexa::dcps::CoreMutex mutex_;
    std::condition_variable_any changed_;
    std::unique_ptr<FakeWriter> builtinWriters_[4];
    std::unique_ptr<FakeReader> builtinReaders_[4];
    std::vector<std::unique_ptr<FakeWriter>> userWriters_;
    std::vector<std::unique_ptr<FakeReader>> userReaders_;
    std::vector<Endpoint<vexa::dds::PublicationBuiltinTopicData>> writerRecords_;
    std::vector<Endpoint<vexa::dds::SubscriptionBuiltinTopicData>> readerRecords_;
    std::vector<vexa::dds::ParticipantBuiltinTopicData> qos_;
    Failure addWriterFailure_ = Failure::None;
    Failure addReaderFailure_ = Failure::None;
    DeliveryResult deliveryResult_ = DeliveryResult::Delivered;
    Failure deliveryFailure_ = Failure::DDSI;
    bool acknowledged_ = false;
    CallGate setQosGate_;

    // Delivery thread; its queue has a plain mutex, never held while a call runs.
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<std::function<void()>> calls_;
    std::function<void()> repeating_;
    bool busy_ = false;
    bool stop_ = false;
    std::vector<bool> results_;
    std::thread delivery_;
};

}  // namespace vexatest
