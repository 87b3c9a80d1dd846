#pragma once

// What the two core fuzz targets (fuzz_dcps_intake, fuzz_dcps_discovery) share: the input
// cursor, an engine participant of one thread whose readers keep the changes the input made,
// the core's keyed test type registered once with the factory, and a participant over such an
// engine. The factory is never asked for an engine participant here (DcpsFuzzHarness.cpp
// stands in for the engine's createParticipant).
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "dcps/domain/DomainParticipant.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/Writer.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace dcpsfuzz {

struct Input {
    uint8_t const* data;
    size_t size;
    size_t pos = 0;
    bool more() const { return pos < size; }
    // 0 once the input is used up.
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    // Any duration up to 7.9 s, or infinite.
    vexa::dds::Duration_t duration();
};

// An engine reader: the changes the input made, each with its sender. A built-in one keeps
// its changes when the core deletes them (nothing queues them for the application); a user
// reader's leave. An unknown change throws as the engine does.
class EngineReader : public RTPS::Reader {
public:
    struct Held {
        RTPS::SampleInfo info{};
        unsigned prefix[3] = {0, 0, 0};
        unsigned entityId = 0;
        std::vector<uint8_t> bytes;
        vexa::dds::ParticipantBuiltinTopicData participant;
        vexa::dds::TopicBuiltinTopicData topic;
        vexa::dds::PublicationBuiltinTopicData publication;
        vexa::dds::SubscriptionBuiltinTopicData subscription;
    };

    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override;
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo* handle) override;
    bool waitForHistoricalData(vexa::dds::Duration_t) override { return true; }
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void dsvcDataRecipient(int, unsigned long, void*, unsigned int) override {}
    void close() override {}

    Held& find(RTPS::SampleInfo* handle);
    // A new change of the writer {prefix, entityId}, at the end.
    Held& add(unsigned const* prefix, unsigned entityId);

    bool builtin = false;
    std::list<Held> held;
};

class EngineWriter : public RTPS::Writer {
public:
    int64_t addChange(RTPS::SampleInfo*) override { return 1; }
    bool deleteChange(long) override { return true; }
    void assertLiveliness() override {}
    void setQoS(vexa::dds::PublicationBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void close() override {}
};

// Hands out engine writers and readers and keeps them; its four built-in readers are the
// built-in subscriber's.
class EngineParticipant : public RTPS::Participant {
public:
    enum { PARTICIPANT, TOPIC, PUBLICATION, SUBSCRIPTION };

    EngineParticipant();
    RTPS::Writer* addWriter(vexa::dds::PublicationBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int) override;
    RTPS::Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int,
                            void*) override;
    void dataRecipient(void*, unsigned short) override {}
    RTPS::Reader* getDCPSParticipantReader() override { return &builtin[PARTICIPANT]; }
    RTPS::Reader* getDCPSTopicReader() override { return &builtin[TOPIC]; }
    RTPS::Reader* getDCPSPublicationReader() override { return &builtin[PUBLICATION]; }
    RTPS::Reader* getDCPSSubscriptionReader() override { return &builtin[SUBSCRIPTION]; }

    EngineReader builtin[4];
    std::vector<std::unique_ptr<EngineWriter>> writers;
    std::vector<std::unique_ptr<EngineReader>> readers;
};

// The core's keyed test type, registered with the factory as "Keyed" on first use.
vexatest::KeyedTypeSupport* keyed();

// An enabled participant of domain 0 over `engine` (which it owns from then on), with the
// keyed type registered; with `builtinSubscriber` also its built-in subscriber, whose
// application readers stay disabled until looked up. Null when the core has no factory.
std::unique_ptr<vexa::dcps::DomainParticipant> participant(EngineParticipant* engine,
                                                           bool builtinSubscriber);

}  // namespace dcpsfuzz
