// Discovery of remote writers as local readers see it: the input becomes publication and
// participant records of a few GUIDs (any flags, any QoS values, other topics, wrong sizes),
// liveliness reports of participants and of writers, losses, samples of those writers, clock
// advances, status passes, reader QoS changes and collector passes, all driven through the
// communication object, the built-in subscriber and the participant's passes on this one
// thread. After every step each reader's counts equal its records in each state, none is
// negative, and each instance counts the alive writers that write it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"

namespace {

namespace dds = vexa::dds;
using vexa::dcps::Reader;
using vexa::dcps::Subscriber;
using RDW = vexa::dcps::Reader::RemoteDW;

// An engine reader: the changes the input made, each with its sender.
class EngineReader : public RTPS::Reader {
public:
    struct Held {
        RTPS::SampleInfo info{};
        std::vector<uint8_t> bytes;
        std::unique_ptr<dds::PublicationBuiltinTopicData> publication;
        std::unique_ptr<dds::ParticipantBuiltinTopicData> participant;
        unsigned prefix[3] = {0, 0, 0};
        unsigned entityId = 0;
    };

    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override {
        Held& h = find(handle);
        sample = h.info;
        for (int i = 0; i < 3; ++i) {
            (*prefix)[i] = h.prefix[i];
        }
        *entityId = h.entityId;
        return 1;
    }
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo* handle) override {
        for (auto it = held.begin(); it != held.end(); ++it) {
            if (&it->info == handle) {
                held.erase(it);
                return 1;
            }
        }
        throw RTPS::GENERAL_DDSI_ERROR("unknown change");
    }
    bool waitForHistoricalData(dds::Duration_t) override { return true; }
    void setQoS(dds::SubscriptionBuiltinTopicData const&, RTPS::RTPS_AdditionalTopicData const&,
                unsigned int) override {}
    void dsvcDataRecipient(int, unsigned long, void*, unsigned int) override {}
    void close() override {}

    Held& find(RTPS::SampleInfo* handle) {
        for (Held& h : held) {
            if (&h.info == handle) {
                return h;
            }
        }
        throw RTPS::GENERAL_DDSI_ERROR("unknown change");
    }

    std::list<Held> held;
};

class EngineParticipant : public RTPS::Participant {
public:
    RTPS::Reader* addReader(dds::SubscriptionBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int,
                            void*) override {
        readers.push_back(std::make_unique<EngineReader>());
        return readers.back().get();
    }
    RTPS::Reader* getDCPSParticipantReader() override { return &participants; }
    RTPS::Reader* getDCPSPublicationReader() override { return &publications; }
    void dataRecipient(void*, unsigned short) override {}

    EngineReader participants;
    EngineReader publications;
    std::vector<std::unique_ptr<EngineReader>> readers;
};

struct Input {
    uint8_t const* data;
    size_t size;
    size_t pos = 0;
    bool more() const { return pos < size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    dds::Duration_t duration() {
        uint8_t const b = byte();
        return b == 0xFF
                   ? dds::DURATION_INFINITE
                   : dds::Duration_t{static_cast<int32_t>(b & 7), ((b >> 3) % 10) * 100000000u};
    }
};

constexpr unsigned PREFIXES[2][3] = {{1, 2, 3}, {4, 5, 6}};
constexpr unsigned ENTITIES[3] = {0x102, 0x202, 0x302};

vexatest::KeyedTypeSupport* keyed() {
    static vexatest::KeyedTypeSupport* type = [] {
        auto* t = new vexatest::KeyedTypeSupport;
        vexa::dcps::DCPSservice::getInstance().getFactory()->addTypeSupport("Keyed", t);
        return t;
    }();
    return type;
}

#define check(ok) checkAt((ok), #ok, __LINE__)

void checkAt(bool ok, char const* what, int line) {
    if (!ok) {
        std::fprintf(stderr, "counts do not match the records: %s (line %d)\n", what, line);
        std::abort();
    }
}

void audit(Reader* reader, Subscriber* sub) {
    std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub->getMutex());
    int alive = 0;
    int notAlive = 0;
    uint32_t inUse = 0;
    for (RDW const& w : reader->remoteWriters()) {
        alive += w.counted() && (w.flags & RDW::RDW_ALIVE) != 0 ? 1 : 0;
        notAlive += w.counted() && (w.flags & RDW::RDW_ALIVE) == 0 ? 1 : 0;
        inUse += w.record != nullptr ? 1 : 0;
        check(w.compatible() || (w.flags & RDW::RDW_ALIVE) == 0);
    }
    dds::LivelinessChangedStatus s;
    reader->getLivelinessChangedStatus(s);
    dds::SubscriptionMatchedStatus m;
    reader->getSubscriptionMatchedStatus(m);
    check(s.alive_count == alive);
    check(s.not_alive_count == notAlive);
    check(m.current_count == alive + notAlive);
    check(reader->remoteWritersInUse() == inUse);
    for (size_t i = 0; i < reader->instances().size(); ++i) {
        Reader::InstanceCB const& instance = reader->instances()[i];
        if (instance.removed()) {
            continue;
        }
        uint32_t writing = 0;
        for (RDW const& w : reader->remoteWriters()) {
            for (auto const& e : w.instances) {
                writing += (w.flags & RDW::RDW_ALIVE) != 0 && e.second == i ? 1u : 0u;
            }
        }
        check(instance.writers == writing);
        check(instance.owner < static_cast<int32_t>(reader->remoteWriters().size()));
    }
}

}  // namespace

// The core's factory is never asked for an engine participant here.
namespace RTPS {
Participant* createParticipant(void*, CommunicationObject*, COMMUNICATION_MODE,
                               vexa::dds::ParticipantBuiltinTopicData*, unsigned int, bool) {
    return nullptr;
}
}  // namespace RTPS

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VEXA_HOME", VEXA_SOURCE_DIR, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (vexa::dcps::DCPSservice::getInstance().getFactory() == nullptr) {
        return 0;
    }
    Input in{data, size};
    vexatest::KeyedTypeSupport* type = keyed();

    dds::DomainParticipantQos const dpQos = dds::predefParticipantQos();
    auto dp = std::make_unique<vexa::dcps::DomainParticipant>(0, 1, dpQos);
    auto* engine = new EngineParticipant;
    dp->setRTPS(engine);
    dp->initBuiltinSubscriber(nullptr);  // no built-in readers for the application
    dp->setCreated();
    dp->enable();
    dp->registerTypeSupport("Keyed", type->typeSupportCB());
    vexa::dcps::Topic* topic = dp->createTopic("F", "Keyed", nullptr, nullptr, 0);
    Subscriber* sub = dp->createSubscriber(nullptr, nullptr, 0);
    vexa::dcps::RTPSCommunicationObject& comm = *dp->getCommunicationObject();

    Reader* readers[2] = {nullptr, nullptr};
    EngineReader* engines[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        dds::DataReaderQos qos = dds::predefDataReaderQos();
        uint8_t const shape = in.byte();
        qos.ownership.kind =
            (shape & 1) != 0 ? dds::EXCLUSIVE_OWNERSHIP_QOS : dds::SHARED_OWNERSHIP_QOS;
        qos.deadline.period = in.duration();
        qos.liveliness.lease_duration = in.duration();
        qos.history.depth = 1 + ((shape >> 1) & 3);
        readers[i] = sub->createDR(topic, &qos, nullptr, 0);
        if (readers[i] == nullptr) {
            return 0;
        }
        engines[i] = engine->readers.back().get();
    }
    uint32_t seq = 0;

    while (in.more()) {
        uint8_t const op = in.byte();
        unsigned const* prefix = PREFIXES[(op >> 4) & 1];
        unsigned const entity = ENTITIES[(op >> 5) % 3];
        switch (op % 10) {
            case 0:
            case 1: {  // a publication record
                auto w = std::make_unique<dds::PublicationBuiltinTopicData>();
                uint8_t const b = in.byte();
                w->topic_name = (b & 3) == 0 ? "G" : "F";
                w->type_name = "Keyed";
                w->durability.kind = static_cast<dds::DurabilityQosPolicyKind>((b >> 2) & 3);
                w->reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>((b >> 4) & 1);
                w->ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((b >> 5) & 1);
                w->liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>((b >> 6) % 3);
                w->liveliness.lease_duration = in.duration();
                w->deadline.period = in.duration();
                w->latency_budget.duration = in.duration();
                w->lifespan.duration = in.duration();
                w->ownership_strength.value = in.byte() % 4;
                uint8_t const f = in.byte();
                EngineReader::Held h;
                h.info.statusFlags = (f & 1) != 0 ? 1u : static_cast<uint32_t>(f & 6u);
                h.info.length = (f & 8) != 0 ? 8u : sizeof *w;
                h.info.sequenceNumber.low = ++seq;
                h.publication = std::move(w);
                h.info.data = h.publication.get();
                std::memcpy(h.prefix, prefix, sizeof h.prefix);
                h.entityId = entity;
                engine->publications.held.push_back(std::move(h));
                RTPS::SampleInfo* handle = &engine->publications.held.back().info;
                comm.changeAvailable(&engine->publications, nullptr, handle);
                engine->publications.held.pop_back();  // nothing queues it here
                break;
            }
            case 2: {  // a participant record: announced or gone
                auto p = std::make_unique<dds::ParticipantBuiltinTopicData>();
                std::memcpy(p->key.value, prefix, sizeof p->key.value);
                uint8_t const f = in.byte();
                EngineReader::Held h;
                h.info.statusFlags = (f & 1) != 0 ? 6u : 1u;
                h.info.length = (f & 2) != 0 ? 4u : sizeof *p;
                h.info.sequenceNumber.low = ++seq;
                h.participant = std::move(p);
                h.info.data = h.participant.get();
                std::memcpy(h.prefix, prefix, sizeof h.prefix);
                h.entityId = 0x1C1;
                engine->participants.held.push_back(std::move(h));
                comm.changeAvailable(&engine->participants, nullptr,
                                     &engine->participants.held.back().info);
                engine->participants.held.pop_back();
                break;
            }
            case 3: {  // liveliness: of a participant (manual or not), or for one reader
                uint8_t const b = in.byte();
                unsigned p[3] = {prefix[0], prefix[1], prefix[2]};
                if ((b & 1) != 0) {
                    comm.assertLiveliness(&engine->participants, nullptr, p, (b >> 1) & 1);
                } else {
                    int const i = (b >> 1) & 1;
                    comm.assertLiveliness(engines[i], readers[i], p, entity);
                }
                break;
            }
            case 4: {
                unsigned p[3] = {prefix[0], prefix[1], prefix[2]};
                comm.participantLost(p);
                break;
            }
            case 5:
            case 6: {  // a sample of a writer to one reader, then the intake pass
                uint8_t const b = in.byte();
                int const i = b & 1;
                vexatest::KeyedSample s;
                s.key = (b >> 1) % 4;
                s.value = in.byte();
                EngineReader::Held h;
                h.info.statusFlags = (b & 0x20) != 0 ? ((b >> 6) & 3) * 2u : 1u;
                h.info.sourceTimestamp = dp->getTimeService().now();
                h.info.instanceHandle = (b & 0x10) != 0 ? 0 : 0x100 + s.key;
                h.info.sequenceNumber.low = ++seq;
                h.bytes.resize(vexatest::KeyedTypeSupport::PACKED_SIZE);
                type->pack(h.bytes.data(), static_cast<unsigned>(h.bytes.size()), &s);
                std::memcpy(h.prefix, prefix, sizeof h.prefix);
                h.entityId = entity;
                engines[i]->held.push_back(std::move(h));
                EngineReader::Held& kept = engines[i]->held.back();
                kept.info.data = kept.bytes.data();
                kept.info.length = kept.bytes.size();
                comm.changeAvailable(engines[i], readers[i], &kept.info);
                dp->handleSubscriptions();
                break;
            }
            case 7:  // a status pass, some time later
                dp->getTimeService().advance(static_cast<uint64_t>(in.byte()) * 100000u);
                dp->periodicStatusCheck();
                break;
            case 8: {  // a reader's deadline or latency budget changes
                int const i = in.byte() & 1;
                dds::DataReaderQos qos = readers[i]->getQoS();
                qos.deadline.period = in.duration();
                qos.latency_budget.duration = in.duration();
                sub->setReaderQoS(qos, readers[i]);
                break;
            }
            case 9:  // the collector, some time later
                dp->getTimeService().advance(static_cast<uint64_t>(in.byte()) * 2000000u);
                dp->collectGarbage();
                break;
        }
        audit(readers[0], sub);
        audit(readers[1], sub);
    }
    dp.reset();
    return 0;
}
