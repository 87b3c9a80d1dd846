#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakeTransport.h"
#include "ManualClock.h"
#include "ParticipantFakes.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/participant/ComponentFactory.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/reader/StatefulReader.h"
#include "rtps/discovery/WriterProxyInfo.h"
#include "rtps/reader/StatelessReader.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/SubmessageDecoder.h"
#include "rtps/wire/SubmessageKind.h"

// A participant with the engine's own readers over a FakeTransport and a ManualClock, and
// helpers that make received changes the way the message receiver does.

namespace reader_test {

using namespace participant_test;

// What the engine told its user.
class RecordingCommunicationObject : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void* userData, RTPS::SampleInfo* sample) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        announced.push_back(sample);
        sequences.push_back(sample->sequenceNumber.low);
        users.push_back(userData);
        return true;
    }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int* prefix,
                          unsigned int entity) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        liveliness.push_back({prefix[0], prefix[1], prefix[2], entity});
    }
    void participantLost(unsigned int*) override {}

    size_t announcedCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return announced.size();
    }
    std::vector<uint32_t> sequenceList() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return sequences;
    }

    std::vector<RTPS::SampleInfo*> announced;
    std::vector<uint32_t> sequences;
    std::vector<void*> users;
    std::vector<std::vector<unsigned>> liveliness;

private:
    std::mutex m_mutex;
};

// The engine's makers with a capturing transport and a clock the test moves.
class EngineFactory : public RTPS::ComponentFactory {
public:
    RTPS::RTPSDataTransport* makeTransport(RTPS::Participant*) override {
        transport = new FakeTransport;
        return transport;
    }
    std::shared_ptr<RTPS::SchedulerClock> makeSchedulerClock() override { return clock; }
    std::unique_ptr<RTPS::DiscoveryDirectory> makeDirectory(RTPS::ParticipantImpl*) override {
        auto d = std::make_unique<FakeDirectory>();
        d->remoteWriters = remoteWriters;
        directory = d.get();
        return d;
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::vector<RTPS::DiscoveredWriterData> remoteWriters;
    FakeTransport* transport = nullptr;
    FakeDirectory* directory = nullptr;
};

inline RTPS::GUID_t writerGuid(uint8_t key = 0x11) {
    return remoteGuid(key, 0x02);
}

// The writer's unicast locator the reader answers to.
inline RTPS::Locator_t const WRITER_LOCATOR{RTPS::LOCATOR_KIND_UDPv4, 7555, {}};

// A received DATA: data points at `bytes`, which the test keeps alive.
inline std::unique_ptr<RTPS::CacheChange> dataChange(RTPS::GUID_t const& writer, uint32_t sn,
                                                     std::vector<uint8_t> const* bytes,
                                                     int32_t completeness = 3) {
    RTPS::SampleInfo info{};
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.sourceTimestamp = vexa::dds::TIME_INVALID;
    if (bytes != nullptr) {
        info.data = const_cast<uint8_t*>(bytes->data());
        info.length = bytes->size();
    }
    std::unique_ptr<RTPS::CacheChange> c(new RTPS::CacheChange(writer, &info));
    c->setSequenceNumber(RTPS::SequenceNumber_t{0, sn});
    c->payloadKind = RTPS::OWNER_RECEIVED;
    c->completeness = completeness;
    return c;
}

// A key-only half: the writer's instance handle, no data.
inline std::unique_ptr<RTPS::CacheChange> keyChange(RTPS::GUID_t const& writer, uint32_t sn,
                                                    int32_t instance) {
    auto c = dataChange(writer, sn, nullptr, 1);
    c->sampleInfo.instanceHandle = instance;
    return c;
}

// A received DATA_FRAG carrying `count` fragments from `first` (1-based) of `sample`.
inline std::unique_ptr<RTPS::CacheChange> fragChange(RTPS::GUID_t const& writer, uint32_t sn,
                                                     std::vector<uint8_t> const& sample,
                                                     uint16_t fragmentSize, uint32_t first,
                                                     uint32_t count) {
    uint64_t const offset = uint64_t{first - 1} * fragmentSize;
    uint64_t const end = std::min<uint64_t>(offset + uint64_t{count} * fragmentSize, sample.size());
    RTPS::SampleInfo info{};
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.sourceTimestamp = vexa::dds::TIME_INVALID;
    info.data = const_cast<uint8_t*>(sample.data() + offset);
    info.length = end - offset;
    std::unique_ptr<RTPS::CacheChange> c(new RTPS::CacheChange(writer, &info));
    c->setSequenceNumber(RTPS::SequenceNumber_t{0, sn});
    c->payloadKind = RTPS::OWNER_RECEIVED;
    c->completeness = 2;
    c->fragmentStartingNum = first;
    c->fragmentsInSubmessage = count;
    c->fragmentSize = fragmentSize;
    c->sampleSize = static_cast<uint32_t>(sample.size());
    return c;
}

// Offers a change as the participant does: the reader keeps it (returned) or the caller
// deletes it. Returns the change kept, null when none.
template <class R>
RTPS::CacheChange* offer(R& reader, std::unique_ptr<RTPS::CacheChange> change) {
    RTPS::CacheChange* kept = reader.addChange(change.get());
    if (kept == change.get()) {
        change.release();
    }
    return kept;
}

inline std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return v;
}

// Every ACKNACK and NACK_FRAG in the datagrams a sender got.
struct Answers {
    std::vector<RTPS::AckNackFields> acknacks;
    std::vector<RTPS::NackFragFields> nackfrags;
};

inline Answers answersIn(std::vector<SentDatagram> const& sent) {
    Answers out;
    for (SentDatagram const& d : sent) {
        RTPS::DatagramWalker walker(d.bytes.data(), d.bytes.size());
        RTPS::SubmessageSpan s;
        while (walker.next(s)) {
            if (s.kind == RTPS::ACKNACK) {
                RTPS::AckNackFields f{};
                if (RTPS::decodeAckNack(s, f)) {
                    out.acknacks.push_back(f);
                }
            } else if (s.kind == RTPS::NACK_FRAG) {
                RTPS::NackFragFields f{};
                if (RTPS::decodeNackFrag(s, f)) {
                    out.nackfrags.push_back(f);
                }
            }
        }
    }
    return out;
}

// One participant (the engine's built-in endpoints, a fake directory) and readers made directly on
// it.
class ReaderHarness {
public:
    explicit ReaderHarness(std::string const& rtpsExtra = "") : m_dir(rtpsExtra) {
        participant = std::make_unique<RTPS::ParticipantImpl>(&comm, 0, &m_data, 0, false, factory);
    }
    ~ReaderHarness() {
        readers.clear();
        participant.reset();
    }

    RTPS::EndpointConfig config(uint8_t key, bool reliable, bool keyed) {
        RTPS::EndpointConfig c{};
        std::memcpy(c.guid.guidPrefix, OWN_PREFIX, 12);
        c.guid.entityId = RTPS::EntityId_t{{0, 0, key}, uint8_t(keyed ? 0x07 : 0x04)};
        c.topicKind = keyed ? RTPS::TOPIC_KIND_WITH_KEY : RTPS::TOPIC_KIND_NO_KEY;
        c.reliabilityLevel = reliable ? RTPS::RELIABILITY_RELIABLE : RTPS::RELIABILITY_BEST_EFFORT;
        c.unicastLocator = RTPS::_LOCATOR_INVALID;
        c.multicastLocator = RTPS::_LOCATOR_INVALID;
        c.historyReserve = historyLimit;
        return c;
    }

    RTPS::StatefulReader& stateful(bool keyed = false, RTPS::COMMUNICATION_MODE mode = 0,
                                   RTPS::ReassemblyLimits const* limits = nullptr) {
        RTPS::EndpointConfig c = config(nextKey++, true, keyed);
        auto* r = new RTPS::StatefulReader(participant.get(), &c, &description, &userTag, &comm,
                                           mode, limits);
        readers.emplace_back(r);
        return *r;
    }
    RTPS::StatelessReader& stateless(bool keyed = false, RTPS::COMMUNICATION_MODE mode = 0,
                                     RTPS::ReassemblyLimits const* limits = nullptr,
                                     RTPS::EntityId_t const* id = nullptr) {
        RTPS::EndpointConfig c = config(nextKey++, false, keyed);
        if (id != nullptr) {
            c.guid.entityId = *id;
        }
        auto* r = new RTPS::StatelessReader(participant.get(), &c, &description, &userTag, &comm,
                                            mode, limits);
        readers.emplace_back(r);
        matchWriters(*r, {writerGuid()});  // as when the writer was discovered before
        return *r;
    }
    // The writers a best-effort reader is matched with from now on.
    static void matchWriters(RTPS::StatelessReader& r, std::vector<RTPS::GUID_t> const& writers) {
        std::vector<RTPS::WriterProxyInfo> infos(writers.size());
        std::vector<RTPS::WriterProxyInfo*> pointers;
        for (size_t i = 0; i < writers.size(); ++i) {
            infos[i].remoteWriterGuid = writers[i];
            pointers.push_back(&infos[i]);
        }
        r.checkMatchedWriters(pointers);
    }

    // Datagrams sent to the writer's locator so far.
    // What the reader has sent to WRITER_LOCATOR since the last forgetAnswers.
    Answers answers() {
        RTPS::Locator_t l = WRITER_LOCATOR;
        (void)participant->getComposer()->getSocket(l);
        FakeSender* s = factory->transport->senderFor(l);
        Answers all = s != nullptr ? answersIn(s->sent()) : Answers{};
        all.acknacks.erase(
            all.acknacks.begin(),
            all.acknacks.begin() + std::min(m_forgottenAcknacks, all.acknacks.size()));
        all.nackfrags.erase(
            all.nackfrags.begin(),
            all.nackfrags.begin() + std::min(m_forgottenNackfrags, all.nackfrags.size()));
        return all;
    }
    void forgetAnswers() {
        Answers const seen = answers();
        m_forgottenAcknacks += seen.acknacks.size();
        m_forgottenNackfrags += seen.nackfrags.size();
    }

    ScratchDir m_dir;
    size_t m_forgottenAcknacks = 0;
    size_t m_forgottenNackfrags = 0;
    RecordingCommunicationObject comm;
    vexa::dds::ParticipantBuiltinTopicData m_data = ownData();
    std::shared_ptr<EngineFactory> factory = std::make_shared<EngineFactory>();
    std::unique_ptr<RTPS::ParticipantImpl> participant;
    vexa::dds::SubscriptionBuiltinTopicData description = subscription("Topic");
    uint32_t historyLimit = 0;
    uint8_t nextKey = 0x40;
    char userTag = 0;
    std::vector<std::unique_ptr<RTPS::ReaderImpl>> readers;
};

}  // namespace reader_test
