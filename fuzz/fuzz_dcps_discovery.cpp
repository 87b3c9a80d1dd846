// Discovery as the engine reports it: participant, topic, publication and subscription records
// of a few remote GUIDs (any status flags, arbitrary QoS, wrong sizes, empty names), liveliness
// reports, losses, clock advances and collector passes, mixed with local writers being created,
// deleted and given new deadlines and latency budgets. Everything runs through the
// communication object and the built-in subscriber's handlers on this one thread. After every
// step each writer's books must agree with the built-in subscriber's: a live entry names a live
// record that lists the writer, the matched count is the number of live compatible entries and
// never negative; ASan finds any use of a record the collector freed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "dcps_core/WriterBooks.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/Writer.h"
#include "vexa/DataWriterImpl.h"

namespace {

namespace dds = vexa::dds;
using vexa::dcps::Writer;

constexpr unsigned PREFIXES = 3;
constexpr unsigned PREFIX[PREFIXES][3] = {{0xAA01u, 1, 1}, {0xAA02u, 2, 2}, {0xAA03u, 3, 3}};
constexpr uint32_t FLAGS[4] = {1, 2, 4, 6};
char const* const TOPICS[4] = {"A", "B", "", "A"};
constexpr unsigned MAX_WRITERS = 6;

// One built-in reader of the engine: the changes the input announces.
class BuiltinReader : public RTPS::Reader {
public:
    struct Held {
        RTPS::SampleInfo info;
        unsigned prefix[3];
        unsigned entityId;
        dds::ParticipantBuiltinTopicData participant;
        dds::TopicBuiltinTopicData topic;
        dds::PublicationBuiltinTopicData publication;
        dds::SubscriptionBuiltinTopicData subscription;
    };

    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override {
        for (Held& h : held) {
            if (&h.info == handle) {
                sample = h.info;
                for (int i = 0; i < 3; ++i) {
                    (*prefix)[i] = h.prefix[i];
                }
                *entityId = h.entityId;
                return 1;
            }
        }
        throw RTPS::GENERAL_DDSI_ERROR("unknown change");
    }
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo*) override { return 1; }
    bool waitForHistoricalData(dds::Duration_t) override { return true; }
    void setQoS(dds::SubscriptionBuiltinTopicData const&, RTPS::RTPS_AdditionalTopicData const&,
                unsigned int) override {}
    void dsvcDataRecipient(int, unsigned long, void*, unsigned int) override {}
    void close() override {}

    std::list<Held> held;
};

class EngineWriter : public RTPS::Writer {
public:
    int64_t addChange(RTPS::SampleInfo*) override { return 1; }
    bool deleteChange(long) override { return true; }
    void assertLiveliness() override {}
    void setQoS(dds::PublicationBuiltinTopicData const&, RTPS::RTPS_AdditionalTopicData const&,
                unsigned int) override {}
    void close() override {}
};

class EngineParticipant : public RTPS::Participant {
public:
    RTPS::Writer* addWriter(dds::PublicationBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int) override {
        writers.push_back(std::make_unique<EngineWriter>());
        return writers.back().get();
    }
    void dataRecipient(void*, unsigned short) override {}
    RTPS::Reader* getDCPSParticipantReader() override { return &builtin[0]; }
    RTPS::Reader* getDCPSTopicReader() override { return &builtin[1]; }
    RTPS::Reader* getDCPSPublicationReader() override { return &builtin[2]; }
    RTPS::Reader* getDCPSSubscriptionReader() override { return &builtin[3]; }

    BuiltinReader builtin[4];
    std::vector<std::unique_ptr<EngineWriter>> writers;
};

struct Input {
    uint8_t const* data;
    size_t size;
    size_t pos = 0;
    bool more() const { return pos < size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
};

dds::Duration_t duration(uint8_t b) {
    static dds::Duration_t const values[4] = {{1, 0}, {2, 0}, {0, 0}, dds::DURATION_INFINITE};
    return values[b & 3];
}

vexatest::KeyedTypeSupport* keyed() {
    static vexatest::KeyedTypeSupport* type = [] {
        auto* t = new vexatest::KeyedTypeSupport;
        vexa::dcps::DCPSservice::getInstance().getFactory()->addTypeSupport("Keyed", t);
        return t;
    }();
    return type;
}

void audit(vexa::dcps::Publisher& pub, vexa::dcps::SubscriberBuiltin& builtin) {
    static std::vector<std::vector<unsigned>> const prefixes = [] {
        std::vector<std::vector<unsigned>> out;
        for (auto const& p : PREFIX) {
            out.push_back({p[0], p[1], p[2]});
        }
        return out;
    }();
    if (char const* broken = vexatest::brokenWriterBooks(pub, builtin, prefixes)) {
        std::fprintf(stderr, "books do not balance: %s\n", broken);
        std::abort();
    }
}

dds::DataWriterQos writerQos(Input& in) {
    dds::DataWriterQos q = dds::predefDataWriterQos();
    uint8_t const a = in.byte();
    uint8_t const b = in.byte();
    q.durability.kind = static_cast<dds::DurabilityQosPolicyKind>(a & 3);
    q.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>((a >> 2) & 1);
    q.ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((a >> 3) & 1);
    q.destination_order.kind = static_cast<dds::DestinationOrderQosPolicyKind>((a >> 4) & 1);
    q.liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>(((a >> 5) & 3) % 3);
    q.deadline.period = duration(b);
    q.latency_budget.duration = duration(b >> 2);
    q.liveliness.lease_duration = duration(b >> 4);
    return q;
}

// A record of the kind `which` (0 participant .. 3 subscription), arbitrary within its type.
void announce(Input& in, EngineParticipant& engine, vexa::dcps::RTPSCommunicationObject& comm,
              unsigned which) {
    BuiltinReader& reader = engine.builtin[which];
    reader.held.emplace_back();
    BuiltinReader::Held& h = reader.held.back();
    uint8_t const who = in.byte();
    uint8_t const how = in.byte();
    uint8_t const q = in.byte();
    uint8_t const r = in.byte();
    for (int i = 0; i < 3; ++i) {
        h.prefix[i] = PREFIX[who % PREFIXES][i];
    }
    h.entityId = 0x107u + (static_cast<unsigned>((who >> 2) & 3) << 8);
    h.info.statusFlags = FLAGS[how & 3];
    std::string const topic = TOPICS[(how >> 2) & 3];
    size_t size = 0;
    switch (which) {
        case 0:
            h.info.data = &h.participant;
            size = sizeof h.participant;
            break;
        case 1:
            h.topic.name = topic;
            h.topic.type_name = "Keyed";
            h.topic.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>(q & 1);
            h.info.data = &h.topic;
            size = sizeof h.topic;
            break;
        case 2:
            h.publication.topic_name = topic;
            h.publication.type_name = "Keyed";
            h.publication.deadline.period = duration(q);
            h.info.data = &h.publication;
            size = sizeof h.publication;
            break;
        default: {
            dds::SubscriptionBuiltinTopicData& s = h.subscription;
            s.topic_name = topic;
            s.type_name = "Keyed";
            s.durability.kind = static_cast<dds::DurabilityQosPolicyKind>(q % 5);
            s.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>((q >> 3) & 1);
            s.ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((q >> 4) & 1);
            s.destination_order.kind =
                static_cast<dds::DestinationOrderQosPolicyKind>((q >> 5) & 1);
            s.liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>((q >> 6) & 3);
            s.deadline.period = duration(r);
            s.latency_budget.duration = duration(r >> 2);
            s.liveliness.lease_duration = duration(r >> 4);
            s.presentation.access_scope =
                static_cast<dds::PresentationQosPolicyAccessScopeKind>(((r >> 6) & 1) * 2);
            s.presentation.coherent_access = (how & 0x10) != 0;
            s.presentation.ordered_access = (how & 0x20) != 0;
            if ((how & 0x40) != 0) {
                s.partition.name = {"P"};
            }
            h.info.data = &s;
            size = sizeof s;
            break;
        }
    }
    // Now and then the engine's length disagrees with the record, or there is no data.
    h.info.length = (how & 0x80) == 0 ? size : (q & 1) != 0 ? size - 8 : 0;
    if ((how & 0x80) != 0 && (q & 2) != 0) {
        h.info.data = nullptr;
    }
    comm.changeAvailable(&reader, nullptr, &h.info);
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
    dp->initBuiltinSubscriber(nullptr);
    dp->setCreated();
    dp->enable();
    dp->registerTypeSupport("Keyed", type->typeSupportCB());
    vexa::dcps::Topic* topics[2] = {dp->createTopic("A", "Keyed", nullptr, nullptr, 0),
                                    dp->createTopic("B", "Keyed", nullptr, nullptr, 0)};
    vexa::dcps::Publisher* pub = dp->createPublisher(nullptr, nullptr, 0);
    vexa::dcps::SubscriberBuiltin* builtin = dp->getBuiltinSubscriber();
    vexa::dcps::RTPSCommunicationObject& comm = *dp->getCommunicationObject();
    if (topics[0] == nullptr || topics[1] == nullptr || pub == nullptr || builtin == nullptr) {
        std::abort();
    }
    std::vector<Writer*> writers;

    while (in.more()) {
        uint8_t const op = in.byte();
        switch (op % 13) {
            case 0:
            case 1:
            case 2:
                announce(in, *engine, comm, 3);
                break;
            case 3:
                announce(in, *engine, comm, 2);
                break;
            case 4:
                announce(in, *engine, comm, 1);
                break;
            case 5:
                announce(in, *engine, comm, 0);
                break;
            case 6: {
                uint8_t const b = in.byte();
                unsigned prefix[3] = {PREFIX[b % PREFIXES][0], PREFIX[b % PREFIXES][1],
                                      PREFIX[b % PREFIXES][2]};
                comm.assertLiveliness(&engine->builtin[0], nullptr, prefix, (b & 0x80) != 0);
                break;
            }
            case 7: {
                uint8_t const b = in.byte();
                unsigned prefix[3] = {PREFIX[b % PREFIXES][0], PREFIX[b % PREFIXES][1],
                                      PREFIX[b % PREFIXES][2]};
                comm.participantLost(prefix);
                break;
            }
            case 8:  // the collector, some time later
                dp->getTimeService().advance(static_cast<uint64_t>(in.byte()) * 2000000u);
                dp->collectGarbage();
                break;
            case 9: {
                if (writers.size() >= MAX_WRITERS) {
                    break;
                }
                uint8_t const t = in.byte();
                dds::DataWriterQos const q = writerQos(in);
                if (auto* bridge = pub->createDW(topics[t & 1], &q, nullptr, 0)) {
                    writers.push_back(bridge->getEntity());
                }
                break;
            }
            case 10: {  // deleted by the application; the collector frees it later
                if (writers.empty()) {
                    break;
                }
                size_t const i = in.byte() % writers.size();
                pub->deleteDW(writers[i]->getBridge());
                writers.erase(writers.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
            case 11:
            case 12: {
                if (writers.empty()) {
                    break;
                }
                Writer* w = writers[in.byte() % writers.size()];
                dds::DataWriterQos q = w->qos();
                uint8_t const b = in.byte();
                q.deadline.period = duration(b);
                q.latency_budget.duration = duration(b >> 2);
                pub->setWriterQoS(q, w);
                break;
            }
        }
        audit(*pub, *builtin);
    }
    dp.reset();
    return 0;
}
