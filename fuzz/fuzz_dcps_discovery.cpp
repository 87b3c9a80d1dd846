// Discovery as the engine reports it, against a participant with local writers and readers:
// participant, topic, publication and subscription records of a few remote GUIDs (any status
// flags, arbitrary QoS, wrong sizes, no data, empty names), liveliness reports of participants
// and of writers, losses, samples of remote writers, clock advances, status and collector
// passes, mixed with local writers being created, deleted and re-configured, local readers
// being re-configured or replaced, and the application taking what its built-in readers got.
// Everything runs through the communication object, the built-in subscriber and the participant's
// passes on this one thread. After every step:
// - each writer's books agree with the built-in subscriber's (a live entry names a live record
//   that lists the writer; the matched count is the number of live compatible entries);
// - each reader's alive, not-alive and matched counts equal its records in each state, none is
//   negative, and each instance counts the alive writers that write it.
// ASan finds any use of a record the collector freed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DcpsFuzzHarness.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "dcps_core/WriterBooks.h"
#include "fake/BuiltinRecordTypeSupport.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/DataWriterImpl.h"
#include "vexa/SampleSeq.h"

namespace {

namespace dds = vexa::dds;
using vexa::dcps::Reader;
using vexa::dcps::Subscriber;
using vexa::dcps::Writer;
using RDW = vexa::dcps::Reader::RemoteDW;
using dcpsfuzz::EngineParticipant;
using dcpsfuzz::EngineReader;
using dcpsfuzz::Input;

constexpr unsigned PREFIXES = 3;
constexpr unsigned PREFIX[PREFIXES][3] = {{0xAA01u, 1, 1}, {0xAA02u, 2, 2}, {0xAA03u, 3, 3}};
constexpr unsigned WRITER_ENTITIES[3] = {0x102, 0x202, 0x302};
constexpr uint32_t FLAGS[4] = {1, 2, 4, 6};
char const* const TOPICS[4] = {"A", "B", "", "A"};
constexpr unsigned MAX_WRITERS = 6;
constexpr int READERS = 2;

// One of four durations, from two bits.
dds::Duration_t coarse(uint8_t b) {
    static dds::Duration_t const values[4] = {{1, 0}, {2, 0}, {0, 0}, dds::DURATION_INFINITE};
    return values[b & 3];
}

// The built-in topics' types, bound to record copies (once per process).
void registerBuiltinTypes() {
    static bool const done = [] {
        using vexatest::BuiltinRecordTypeSupport;
        vexa::dcps::DCPSservice::getInstance().getFactory()->initAPI({
            {"DCPSParticipant", "dds::topic::ParticipantBuiltinTopicData",
             new BuiltinRecordTypeSupport<dds::ParticipantBuiltinTopicData>},
            {"DCPSTopic", "dds::topic::TopicBuiltinTopicData",
             new BuiltinRecordTypeSupport<dds::TopicBuiltinTopicData>},
            {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData",
             new BuiltinRecordTypeSupport<dds::PublicationBuiltinTopicData>},
            {"DCPSSubscription", "dds::topic::SubscriptionBuiltinTopicData",
             new BuiltinRecordTypeSupport<dds::SubscriptionBuiltinTopicData>},
        });
        return true;
    }();
    (void)done;
}

void auditWriters(vexa::dcps::Publisher& pub, vexa::dcps::SubscriberBuiltin& builtin) {
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

#define check(ok) checkAt((ok), #ok, __LINE__)

void checkAt(bool ok, char const* what, int line) {
    if (!ok) {
        std::fprintf(stderr, "counts do not match the records: %s (line %d)\n", what, line);
        std::abort();
    }
}

void auditReader(Reader* reader, Subscriber* sub) {
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
    check(s.alive_count >= 0 && s.not_alive_count >= 0 && m.current_count >= 0);
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

dds::DataWriterQos writerQos(Input& in) {
    dds::DataWriterQos q = dds::predefDataWriterQos();
    uint8_t const a = in.byte();
    uint8_t const b = in.byte();
    q.durability.kind = static_cast<dds::DurabilityQosPolicyKind>(a & 3);
    q.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>((a >> 2) & 1);
    q.ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((a >> 3) & 1);
    q.destination_order.kind = static_cast<dds::DestinationOrderQosPolicyKind>((a >> 4) & 1);
    q.liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>(((a >> 5) & 3) % 3);
    q.deadline.period = coarse(b);
    q.latency_budget.duration = coarse(b >> 2);
    q.liveliness.lease_duration = coarse(b >> 4);
    return q;
}

dds::DataReaderQos readerQos(Input& in) {
    dds::DataReaderQos qos = dds::predefDataReaderQos();
    uint8_t const shape = in.byte();
    qos.ownership.kind =
        (shape & 1) != 0 ? dds::EXCLUSIVE_OWNERSHIP_QOS : dds::SHARED_OWNERSHIP_QOS;
    qos.deadline.period = in.duration();
    qos.liveliness.lease_duration = in.duration();
    qos.history.depth = 1 + ((shape >> 1) & 3);
    return qos;
}

// Hands a held change to the core as the engine's thread does; a wrong length or no data now
// and then.
void report(vexa::dcps::RTPSCommunicationObject& comm, EngineReader& reader, EngineReader::Held& h,
            void* data, uint64_t size, uint8_t how, uint8_t q) {
    h.info.data = data;
    h.info.length = (how & 0x80) == 0 ? size : (q & 1) != 0 ? size - 8 : 0;
    if ((how & 0x80) != 0 && (q & 2) != 0) {
        h.info.data = nullptr;
    }
    comm.changeAvailable(&reader, nullptr, &h.info);
}

// A terse record of the kind `which`, arbitrary within its type.
void announce(Input& in, EngineParticipant& engine, vexa::dcps::RTPSCommunicationObject& comm,
              unsigned which) {
    uint8_t const who = in.byte();
    uint8_t const how = in.byte();
    uint8_t const q = in.byte();
    uint8_t const r = in.byte();
    unsigned const kind = which == EngineParticipant::PUBLICATION ? 0x02u : 0x07u;
    EngineReader& reader = engine.builtin[which];
    EngineReader::Held& h = reader.add(
        PREFIX[who % PREFIXES], 0x100u + kind + (static_cast<unsigned>((who >> 2) & 3) << 8));
    h.info.statusFlags = FLAGS[how & 3];
    std::string const topic = TOPICS[(how >> 2) & 3];
    switch (which) {
        case EngineParticipant::PARTICIPANT:
            std::memcpy(h.participant.key.value, h.prefix, sizeof h.prefix);
            report(comm, reader, h, &h.participant, sizeof h.participant, how, q);
            break;
        case EngineParticipant::TOPIC:
            h.topic.name = topic;
            h.topic.type_name = "Keyed";
            h.topic.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>(q & 1);
            report(comm, reader, h, &h.topic, sizeof h.topic, how, q);
            break;
        case EngineParticipant::PUBLICATION:
            h.publication.topic_name = topic;
            h.publication.type_name = "Keyed";
            h.publication.deadline.period = coarse(q);
            h.publication.latency_budget.duration = coarse(q >> 2);
            h.publication.ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((q >> 4) & 1);
            h.publication.ownership_strength.value = (r & 3);
            h.publication.liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>((r >> 2) % 3);
            h.publication.liveliness.lease_duration = coarse(r >> 4);
            report(comm, reader, h, &h.publication, sizeof h.publication, how, q);
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
            s.deadline.period = coarse(r);
            s.latency_budget.duration = coarse(r >> 2);
            s.liveliness.lease_duration = coarse(r >> 4);
            s.presentation.access_scope =
                static_cast<dds::PresentationQosPolicyAccessScopeKind>(((r >> 6) & 1) * 2);
            s.presentation.coherent_access = (how & 0x10) != 0;
            s.presentation.ordered_access = (how & 0x20) != 0;
            if ((how & 0x40) != 0) {
                s.partition.name = {"P"};
            }
            report(comm, reader, h, &s, sizeof s, how, q);
            break;
        }
    }
}

// A full publication record of the writer {prefix, entity}: every policy a reader compares.
void announceWriter(Input& in, EngineParticipant& engine, vexa::dcps::RTPSCommunicationObject& comm,
                    unsigned const* prefix, unsigned entity) {
    EngineReader& reader = engine.builtin[EngineParticipant::PUBLICATION];
    EngineReader::Held& h = reader.add(prefix, entity);
    dds::PublicationBuiltinTopicData& w = h.publication;
    uint8_t const b = in.byte();
    w.topic_name = (b & 3) == 0 ? "B" : "A";
    w.type_name = "Keyed";
    w.durability.kind = static_cast<dds::DurabilityQosPolicyKind>((b >> 2) & 3);
    w.reliability.kind = static_cast<dds::ReliabilityQosPolicyKind>((b >> 4) & 1);
    w.ownership.kind = static_cast<dds::OwnershipQosPolicyKind>((b >> 5) & 1);
    w.liveliness.kind = static_cast<dds::LivelinessQosPolicyKind>((b >> 6) % 3);
    w.liveliness.lease_duration = in.duration();
    w.deadline.period = in.duration();
    w.latency_budget.duration = in.duration();
    w.lifespan.duration = in.duration();
    w.ownership_strength.value = in.byte() % 4;
    uint8_t const f = in.byte();
    h.info.statusFlags = (f & 1) != 0 ? 1u : static_cast<uint32_t>(f & 6u);
    h.info.length = (f & 8) != 0 ? 8u : sizeof w;
    h.info.data = &w;
    comm.changeAvailable(&reader, nullptr, &h.info);
}

// The application looks up one of its built-in readers (enabling it: later records are queued
// for it), lets the data-handling pass file what is queued, and takes it all.
void readBuiltin(vexa::dcps::DomainParticipant& dp, vexa::dcps::SubscriberBuiltin& builtin,
                 unsigned which) {
    static char const* const NAMES[4] = {"DCPSParticipant", "DCPSTopic", "DCPSPublication",
                                         "DCPSSubscription"};
    vexa::dcps::api::DataReaderImpl* bridge = builtin.lookupDR(NAMES[which]);
    if (bridge == nullptr) {
        std::abort();
    }
    Reader* reader = bridge->getEntity();
    dp.handleSubscriptions();
    vexa::dcps::api::SampleSeq seq;
    if (builtin.loanSamples(seq, reader, false, -1, dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                            dds::ANY_INSTANCE_STATE) == dds::RETCODE_OK &&
        builtin.returnLoan(seq, reader) != dds::RETCODE_OK) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (vexa::dcps::DCPSservice::getInstance().getFactory() == nullptr) {
        return 0;
    }
    Input in{data, size};
    vexatest::KeyedTypeSupport* type = dcpsfuzz::keyed();
    registerBuiltinTypes();
    auto* engine = new EngineParticipant;
    // The application's built-in readers stay disabled until it looks one up.
    std::unique_ptr<vexa::dcps::DomainParticipant> dp = dcpsfuzz::participant(engine, true);
    vexa::dcps::Topic* topics[2] = {dp->createTopic("A", "Keyed", nullptr, nullptr, 0),
                                    dp->createTopic("B", "Keyed", nullptr, nullptr, 0)};
    vexa::dcps::Publisher* pub = dp->createPublisher(nullptr, nullptr, 0);
    Subscriber* sub = dp->createSubscriber(nullptr, nullptr, 0);
    vexa::dcps::SubscriberBuiltin* builtin = dp->getBuiltinSubscriber();
    vexa::dcps::RTPSCommunicationObject& comm = *dp->getCommunicationObject();
    if (topics[0] == nullptr || topics[1] == nullptr || pub == nullptr || sub == nullptr ||
        builtin == nullptr) {
        std::abort();
    }
    std::vector<Writer*> writers;
    // Two readers of topic A; each keeps its engine reader, where its samples arrive.
    Reader* readers[READERS] = {nullptr, nullptr};
    EngineReader* engines[READERS] = {nullptr, nullptr};
    for (int i = 0; i < READERS; ++i) {
        dds::DataReaderQos const qos = readerQos(in);
        readers[i] = sub->createDR(topics[0], &qos, nullptr, 0);
        if (readers[i] == nullptr) {
            return 0;  // QoS the reader refuses
        }
        engines[i] = engine->readers.back().get();
    }
    uint32_t seq = 0;

    while (in.more()) {
        uint8_t const op = in.byte();
        // The high bits name the remote writer of the reader-side steps.
        unsigned const* prefix = PREFIX[(op >> 4) & 1];
        unsigned const entity = WRITER_ENTITIES[(op >> 5) % 3];
        switch (op & 15) {
            case 0:
                announce(in, *engine, comm, EngineParticipant::SUBSCRIPTION);
                break;
            case 1:
                announce(in, *engine, comm, EngineParticipant::PUBLICATION);
                break;
            case 2:
                announce(in, *engine, comm, EngineParticipant::TOPIC);
                break;
            case 3:
                announce(in, *engine, comm, EngineParticipant::PARTICIPANT);
                break;
            case 4: {  // a participant's liveliness, manual or not
                uint8_t const b = in.byte();
                unsigned p[3] = {PREFIX[b % PREFIXES][0], PREFIX[b % PREFIXES][1],
                                 PREFIX[b % PREFIXES][2]};
                comm.assertLiveliness(&engine->builtin[EngineParticipant::PARTICIPANT], nullptr, p,
                                      (b & 0x80) != 0);
                break;
            }
            case 5: {
                uint8_t const b = in.byte();
                unsigned p[3] = {PREFIX[b % PREFIXES][0], PREFIX[b % PREFIXES][1],
                                 PREFIX[b % PREFIXES][2]};
                comm.participantLost(p);
                break;
            }
            case 6:  // the collector, some time later
                dp->getTimeService().advance(static_cast<uint64_t>(in.byte()) * 2000000u);
                dp->collectGarbage();
                break;
            case 7: {
                uint8_t const t = in.byte();
                dds::DataWriterQos const q = writerQos(in);
                if (writers.size() < MAX_WRITERS) {
                    if (auto* bridge = pub->createDW(topics[t & 1], &q, nullptr, 0)) {
                        writers.push_back(bridge->getEntity());
                    }
                }
                break;
            }
            case 8: {  // deleted by the application; the collector frees it later
                uint8_t const b = in.byte();
                if (!writers.empty()) {
                    size_t const i = b % writers.size();
                    pub->deleteDW(writers[i]->getBridge());
                    writers.erase(writers.begin() + static_cast<std::ptrdiff_t>(i));
                }
                break;
            }
            case 9: {
                uint8_t const i = in.byte();
                uint8_t const b = in.byte();
                if (!writers.empty()) {
                    Writer* w = writers[i % writers.size()];
                    dds::DataWriterQos q = w->qos();
                    q.deadline.period = coarse(b);
                    q.latency_budget.duration = coarse(b >> 2);
                    pub->setWriterQoS(q, w);
                }
                break;
            }
            case 10:
                announceWriter(in, *engine, comm, prefix, entity);
                break;
            case 11: {  // a participant announced or gone
                uint8_t const f = in.byte();
                EngineReader& reader = engine->builtin[EngineParticipant::PARTICIPANT];
                EngineReader::Held& h = reader.add(prefix, 0x1C1);
                std::memcpy(h.participant.key.value, prefix, sizeof h.prefix);
                h.info.statusFlags = (f & 1) != 0 ? 6u : 1u;
                h.info.length = (f & 2) != 0 ? 4u : sizeof h.participant;
                h.info.data = &h.participant;
                comm.changeAvailable(&reader, nullptr, &h.info);
                break;
            }
            case 12: {  // liveliness: of a participant, or of one writer for one reader
                uint8_t const b = in.byte();
                unsigned p[3] = {prefix[0], prefix[1], prefix[2]};
                if ((b & 1) != 0) {
                    comm.assertLiveliness(&engine->builtin[EngineParticipant::PARTICIPANT], nullptr,
                                          p, (b >> 1) & 1);
                } else {
                    int const i = (b >> 1) & 1;
                    comm.assertLiveliness(engines[i], readers[i], p, entity);
                }
                break;
            }
            case 13: {  // a sample of a remote writer to one reader, then the intake pass
                uint8_t const b = in.byte();
                int const i = b & 1;
                vexatest::KeyedSample s;
                s.key = (b >> 1) % 4;
                s.value = in.byte();
                EngineReader::Held& h = engines[i]->add(prefix, entity);
                h.info.statusFlags = (b & 0x20) != 0 ? ((b >> 6) & 3) * 2u : 1u;
                h.info.sourceTimestamp = dp->getTimeService().now();
                h.info.instanceHandle = (b & 0x10) != 0 ? 0 : 0x100 + s.key;
                h.info.sequenceNumber.low = ++seq;
                h.bytes.resize(vexatest::KeyedTypeSupport::PACKED_SIZE);
                type->pack(h.bytes.data(), static_cast<unsigned>(h.bytes.size()), &s);
                h.info.data = h.bytes.data();
                h.info.length = h.bytes.size();
                comm.changeAvailable(engines[i], readers[i], &h.info);
                dp->handleSubscriptions();
                break;
            }
            case 14: {  // a status pass, some time later; or the application reads discovery
                uint8_t const b = in.byte();
                dp->getTimeService().advance(static_cast<uint64_t>(b) * 100000u);
                dp->periodicStatusCheck();
                if ((b & 0x80) != 0) {
                    readBuiltin(*dp, *builtin, b & 3);
                }
                break;
            }
            default: {  // a reader's deadline or latency budget changes, or a new reader
                uint8_t const b = in.byte();
                int const i = b & 1;
                if ((b & 0x80) != 0) {
                    // Samples of the old reader wait in its engine reader; the new one has
                    // its own.
                    dds::DataReaderQos const qos = readerQos(in);
                    if (sub->deleteDR(readers[i]->getBridge()) != dds::RETCODE_OK) {
                        std::abort();
                    }
                    readers[i] = sub->createDR(topics[0], &qos, nullptr, 0);
                    if (readers[i] == nullptr) {
                        in.pos = in.size;  // refused QoS or no reader id left: the input ends
                        break;
                    }
                    engines[i] = engine->readers.back().get();
                    break;
                }
                dds::DataReaderQos qos = readers[i]->getQoS();
                qos.deadline.period = in.duration();
                qos.latency_budget.duration = in.duration();
                sub->setReaderQoS(qos, readers[i]);
                break;
            }
        }
        auditWriters(*pub, *builtin);
        for (Reader* r : readers) {
            if (r != nullptr) {
                auditReader(r, sub);
            }
        }
    }
    dp.reset();
    return 0;
}
