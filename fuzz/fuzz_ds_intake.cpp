// One served domain of vexads, with its own stored-reader set, on a fake engine takes a script
// of peer events: topic and publication records with arbitrary names, QoS, flags and lengths;
// participant records, losses and liveliness; samples for the stored readers with arbitrary
// flags, key hashes, handles and lengths, announced by the engine into the set's input buffer
// and stored by the data thread's rounds, some dropped by the engine before the round reads
// them; clock steps, status checks and collection passes; late readers asking for history,
// served and stopping. Everything runs on this one thread. After every step the discovery
// bookkeeping and every stored reader must hold their invariants, and nothing announced is
// left unread once a round has run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ds/FakeDiscovery.h"

namespace {

namespace dds = vexa::dds;

// The script: a cursor that gives 0 once the input is used up.
class Script {
public:
    Script(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool more() const { return m_pos < m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(byte()) << (8 * i);
        return v;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

const char* const NAMES[] = {"A", "B", "C", ""};
const uint32_t PEERS[4][3] = {
    {0x0101AA8A, 1, 1}, {0x0202AA8A, 2, 2}, {0x0303AA8A, 3, 3}, {0x0404AA8A, 4, 4}};

const uint32_t* peer(Script& s) {
    return PEERS[s.byte() % 4];
}

uint32_t flags(Script& s) {
    const uint8_t b = s.byte();
    return (b & 0x80) ? b : uint32_t(1 + (b % 7));
}

dds::Duration_t duration(Script& s) {
    const uint8_t b = s.byte();
    return b >= 200 ? dds::DURATION_INFINITE : dds::Duration_t{int32_t(b % 5), uint32_t(b) * 1000};
}

// A length that is mostly right.
uint64_t length(Script& s, uint64_t right) {
    const uint8_t b = s.byte();
    return b < 224 ? right : uint64_t(b) * 3;
}

void fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", what, text.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script s(data, size);
    vexatest::DiscoveryDomain d(7, true);
    std::vector<vexa::ds::DSReader*> readers;
    dds::TopicBuiltinTopicData topic;
    dds::PublicationBuiltinTopicData pub;
    std::vector<uint8_t> payload(64, 0x5A);
    int steps = 0;
    while (s.more() && ++steps < 400) {
        switch (s.byte() % 14) {
            case 0: {
                const uint32_t* p = peer(s);
                const char* name = NAMES[s.byte() % 4];
                topic = vexatest::topicRecord(name, dds::DurabilityQosPolicyKind(s.byte() % 4));
                topic.deadline.period = duration(s);
                topic.ownership.kind = dds::OwnershipQosPolicyKind(s.byte() % 2);
                topic.lifespan.duration = duration(s);
                topic.durability_service.history_kind = dds::HistoryQosPolicyKind(s.byte() % 2);
                topic.durability_service.history_depth = s.byte() % 4;
                topic.durability_service.max_samples = int8_t(s.byte());
                topic.durability_service.max_instances = int8_t(s.byte());
                topic.durability_service.max_samples_per_instance = int8_t(s.byte());
                topic.durability_service.service_cleanup_delay = duration(s);
                const uint32_t f = flags(s);
                d.deliver(d.engine->topics, p, 2, f, &topic, length(s, sizeof(topic)));
                break;
            }
            case 1: {
                const uint32_t* p = peer(s);
                const uint32_t entityId = 0x100 + s.byte() % 4;
                const char* name = NAMES[s.byte() % 4];
                pub = vexatest::publicationRecord(name, dds::DurabilityQosPolicyKind(s.byte() % 4));
                pub.ownership.kind = dds::OwnershipQosPolicyKind(s.byte() % 2);
                pub.ownership_strength.value = s.byte() % 3;
                pub.lifespan.duration = duration(s);
                pub.deadline.period = duration(s);
                pub.liveliness.lease_duration = duration(s);
                const uint32_t f = flags(s);
                d.deliver(d.engine->publications, p, entityId, f, &pub, length(s, sizeof(pub)));
                break;
            }
            case 2: {
                const uint32_t* p = peer(s);
                d.participant(p, flags(s));
                break;
            }
            case 3:
                d.domain.comm().participantLost(const_cast<unsigned*>(peer(s)));
                break;
            case 4: {
                const uint32_t* p = peer(s);
                const uint32_t entityId = (s.byte() & 1) ? 0x100 + s.byte() % 4 : 0;
                d.domain.comm().assertLiveliness(&d.engine->participants, nullptr,
                                                 const_cast<unsigned*>(p), entityId);
                break;
            }
            case 5:
                d.advance(s.byte() * 3);
                break;
            case 6:
                d.domain.collectGarbage();
                break;
            case 7:
                d.domain.createDRs();
                break;
            case 8: {
                // The engine announces a change of a stored reader: it waits in the input
                // buffer for the data thread's next round.
                d.real->getReaders(readers);
                if (readers.empty())
                    break;
                vexa::ds::DSReader* reader = readers[s.byte() % readers.size()];
                auto* engineReader =
                    static_cast<vexatest::FakeBuiltinReader*>(reader->rtpsReader());
                const uint32_t* p = peer(s);
                const uint32_t entityId = 0x100 + s.byte() % 4;
                const uint32_t f = flags(s);
                RTPS::SampleInfo* si = engineReader->add(p, entityId, f, payload.data(),
                                                         s.byte() % (payload.size() + 1));
                const uint8_t key = s.byte();
                if (key & 0x80)
                    si->keyHash[0] = key & 7;
                si->instanceHandle = int32_t(s.byte() % 5);
                si->sourceTimestamp = d.domain.clock().now();
                si->sequenceNumber.low = s.word();
                d.domain.comm().changeAvailable(engineReader, reader, si);
                break;
            }
            case 9: {
                const uint32_t* p = peer(s);
                const uint32_t entityId = 0x200 + s.byte() % 2;
                dds::SubscriptionBuiltinTopicData sub;
                sub.topic_name = NAMES[s.byte() % 4];
                sub.type_name = "Sample";
                sub.durability.kind = dds::DurabilityQosPolicyKind(s.byte() % 4);
                d.domain.comm().getHistoricalData(p, entityId, &sub);
                break;
            }
            case 10: {
                const uint32_t* p = peer(s);
                d.domain.comm().stopHistoricalData(p, 0x200 + s.byte() % 2);
                break;
            }
            case 11:
                d.domain.handleSubscriptions();
                break;
            case 12:
                d.domain.periodicStatusCheck();
                break;
            case 13: {
                // The engine lets go of a stored reader's oldest change, announced or not: a
                // round must skip its handle and leave it to the engine.
                d.real->getReaders(readers);
                if (readers.empty())
                    break;
                vexa::ds::DSReader* reader = readers[s.byte() % readers.size()];
                static_cast<vexatest::FakeBuiltinReader*>(reader->rtpsReader())->dropOldest();
                break;
            }
        }
        std::lock_guard<std::recursive_mutex> guard(d.domain.lock());
        const std::string broken = d.builtin().checkInvariants();
        if (!broken.empty())
            fail("discovery bookkeeping", broken);
        d.real->getReaders(readers);
        for (vexa::ds::DSReader* r : readers) {
            const std::string text = r->checkInvariants();
            if (!text.empty())
                fail(r->topicName().c_str(), text);
        }
    }
    // A last round takes everything queued: the engine holds no change the set has not deleted.
    d.domain.handleSubscriptions();
    d.real->getReaders(readers);
    for (vexa::ds::DSReader* r : readers) {
        const size_t held = static_cast<vexatest::FakeBuiltinReader*>(r->rtpsReader())->held();
        if (held != 0)
            fail(r->topicName().c_str(), std::to_string(held) + " changes left unread");
    }
    return 0;
}
