#pragma once

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakeTransport.h"
#include "ManualClock.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/RTPSRouter.h"
#include "rtps/io/UserInputBufferPool.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/Participant.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/SubmessageDecoder.h"
#include "rtps/wire/SubmessageKind.h"
#include "rtps/writer/StatefulWriter.h"
#include "rtps/writer/StatelessWriter.h"
#include "vexa/dds/BuiltinTopicData.h"

// What a writer needs of its participant, for tests: the real composer over the capturing
// transport, the real scheduler on a manual clock, a real configuration read from a file the
// test writes, a router and a user buffer pool; and counters of what the writer asked.
struct FakeParticipantSettings {
    bool push = true;
    int heartbeatMs = 1000;
    int nackResponseMs = 200;
    int nackSuppressionMs = 0;
    const char* multicastingMode = "ОТКЛЮЧЕН";
};

class FakeParticipant : public RTPS::Participant {
public:
    using Settings = FakeParticipantSettings;

    explicit FakeParticipant(Settings const& s = Settings()) {
        m_config = makeConfig(s);
        RTPS::TaskFunctions functions;
        functions[RTPS::TASK_WRITER_RELIABLE] = &RTPS::StatefulWriter::reliableTask;
        functions[RTPS::TASK_WRITER_DEFERRED] = &RTPS::StatefulWriter::deferredTask;
        functions[RTPS::TASK_NACK_SUPPRESSION] = &RTPS::StatefulWriter::nackSuppressionTask;
        functions[RTPS::TASK_STATELESS_BEST_EFFORT] = &RTPS::StatelessWriter::bestEffortTask;
        scheduler.reset(new RTPS::RTPSTaskScheduler(functions, clock));
        uint8_t prefix[12] = {0xAA, 0xAA, 9, 9, 9, 9, 1, 2, 3, 4, 5, 6};
        composer.reset(new RTPS::MessageComposer(&transport, prefix));
        router.reset(new RTPS::RTPSRouter("127.0.0.1", 7));
        pool.reset(new RTPS::UserInputBufferPool(8, 64, m_poolMutex));
    }

    ~FakeParticipant() override { scheduler->stop(); }

    void dataRecipient(void*, unsigned short) override {}

    RTPS::Config const& getConfig() const override { return *m_config; }
    RTPS::RTPSTaskScheduler* getScheduler() const override { return scheduler.get(); }
    RTPS::MessageComposer* getComposer() const override { return composer.get(); }
    RTPS::RTPSRouter* getRouter() const override { return router.get(); }
    RTPS::UserInputBufferPool* getUserInputBufferPool() const override { return pool.get(); }

    void modifyWriter(RTPS::LocalWriter*, RTPS::RTPS_AdditionalTopicData const&, bool) override {
        ++modifyWriterCalls;
    }
    void removeEndpoint(RTPS::Endpoint*) override { ++removeEndpointCalls; }
    void reportAllDelivered() override { ++reportAllDeliveredCalls; }
    bool getReaderConfig(RTPS::GUID_t const& reader,
                         vexa::dds::SubscriptionBuiltinTopicData& out) override {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        auto it = m_readers.find(key(reader));
        if (it == m_readers.end()) {
            return false;
        }
        out = it->second;
        return true;
    }

    // Every remote reader known by its locators matches (a best-effort writer's view).
    void getMatchedRemoteReaders(vexa::dds::PublicationBuiltinTopicData const&,
                                 std::vector<RTPS::ReaderProxyInfo>& out) override {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        out = m_proxies;
    }
    void getReaderLocators(RTPS::GUID_t const& reader, std::vector<RTPS::Locator_t>& out) override {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        out.clear();
        for (RTPS::ReaderProxyInfo const& r : m_proxies) {
            RTPS::GUID_t const& g = r.remoteReaderGuid;
            if (RTPS::prefixEq(g.guidPrefix, reader.guidPrefix) &&
                (reader.entityId == RTPS::_ENTITYID_PARTICIPANT || reader.entityId == g.entityId)) {
                out.insert(out.end(), r.unicastLocatorList.begin(), r.unicastLocatorList.end());
            }
        }
    }
    // Where discovery says a remote reader listens; forgetReader drops it again.
    void knowReaderProxy(RTPS::ReaderProxyInfo const& reader) {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        m_proxies.push_back(reader);
    }
    void forgetReader(RTPS::GUID_t const& reader) {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        m_proxies.erase(std::remove_if(m_proxies.begin(), m_proxies.end(),
                                       [&](auto const& r) { return r.remoteReaderGuid == reader; }),
                        m_proxies.end());
    }

    // What discovery knows of a remote reader.
    void knowReader(RTPS::GUID_t const& reader, vexa::dds::SubscriptionBuiltinTopicData data) {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        m_readers[key(reader)] = std::move(data);
    }

    // Lets the scheduler run what is due now; returns once it is idle.
    void settle() { clock->waitIdle(); }
    void advanceMs(uint64_t ms) {
        clock->advanceMs(ms);
        clock->waitIdle();
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeTransport transport;
    std::unique_ptr<RTPS::RTPSTaskScheduler> scheduler;
    std::unique_ptr<RTPS::MessageComposer> composer;
    std::unique_ptr<RTPS::RTPSRouter> router;
    std::unique_ptr<RTPS::UserInputBufferPool> pool;
    std::atomic<int> modifyWriterCalls{0};
    std::atomic<int> removeEndpointCalls{0};
    std::atomic<int> reportAllDeliveredCalls{0};

private:
    static std::string key(RTPS::GUID_t const& g) {
        return std::string(reinterpret_cast<char const*>(&g), sizeof g);
    }

    // rtps.cfg is read from the working directory: it stands there for the constructor alone.
    // Not in a private directory entered for the purpose: the process logger opens its files
    // where its first record is written, and the constructor logs where its file came from.
    static std::unique_ptr<RTPS::Config> makeConfig(Settings const& s) {
        const char* const file = "rtps.cfg";
        const char* const saved = "rtps.cfg.before-fake-participant";
        const bool hadOne = std::rename(file, saved) == 0;
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << "BUSINESS.DEFAULT_UNICAST_IP = 127.0.0.1\n"
                << "BUSINESS.DEFAULT_MULTICAST_IP = 239.1.2.3\n"
                << "BUSINESS.HEARTBEAT_PERIOD = " << s.heartbeatMs << "\n"
                << "BUSINESS.HEARTBEAT_RESPONSE_DELAY = 40\n"
                << "BUSINESS.NACK_RESPONSE_DELAY = " << s.nackResponseMs << "\n"
                << "BUSINESS.NACK_SUPPRESSION_DURATION = " << s.nackSuppressionMs << "\n"
                << "BUSINESS.PUSH_MODE = " << (s.push ? "ДА" : "НЕТ") << "\n"
                << "BUSINESS.RESEND_PERIOD = 700\n"
                << "BUSINESS.CHECK_INCOMING_PERIOD = 2000\n"
                << "BUSINESS.SPDP_ANNOUNCE_PERIOD = 250\n"
                << "BUSINESS.PARTICIPANT_LEASE_DURATION = 900\n"
                << "BUSINESS.USER_MULTICASTING_MODE = " << s.multicastingMode << "\n";
        }
        std::unique_ptr<RTPS::Config> config(new RTPS::Config(0));
        std::remove(file);
        if (hadOne) {
            std::rename(saved, file);
        }
        return config;
    }

    std::unique_ptr<RTPS::Config> m_config;
    std::mutex m_poolMutex;
    std::mutex m_readersMutex;
    std::map<std::string, vexa::dds::SubscriptionBuiltinTopicData> m_readers;
    std::vector<RTPS::ReaderProxyInfo> m_proxies;
};

// What one sender got since the last look: the submessages the writer cares about.
struct Traffic {
    std::vector<uint32_t> data;                       // DATA with data: low part of writerSN
    std::vector<uint32_t> keyOnly;                    // key-only DATA
    std::vector<std::pair<uint32_t, uint32_t>> gaps;  // gapStart.low, gapList base.low
    std::vector<RTPS::HeartbeatFields> heartbeats;
    std::vector<RTPS::EntityId_t> dataReaderIds;
    size_t datagrams = 0;
};

// Reads each sender's datagrams once, in the order they were sent.
class TrafficReader {
public:
    explicit TrafficReader(FakeTransport& transport) : m_transport(transport) {}

    Traffic next(size_t senderIndex) {
        Traffic t;
        FakeSender* sender = m_transport.sender(senderIndex);
        if (sender == nullptr) {
            return t;
        }
        std::vector<SentDatagram> sent = sender->sent();
        size_t& seen = m_seen[senderIndex];
        for (size_t i = seen; i < sent.size(); ++i) {
            ++t.datagrams;
            RTPS::DatagramWalker w(sent[i].bytes.data(), sent[i].bytes.size());
            RTPS::SubmessageSpan s;
            while (w.next(s)) {
                if (s.kind == RTPS::DATA) {
                    RTPS::DataFields f;
                    if (RTPS::decodeData(s, f)) {
                        (f.keyOnly ? t.keyOnly : t.data).push_back(f.writerSN.low);
                        if (!f.keyOnly) {
                            t.dataReaderIds.push_back(f.readerId);
                        }
                    }
                } else if (s.kind == RTPS::GAP) {
                    RTPS::GapFields f;
                    if (RTPS::decodeGap(s, f)) {
                        t.gaps.push_back({f.gapStart.low, f.gapList.bitmapBase.low});
                    }
                } else if (s.kind == RTPS::HEARTBEAT) {
                    RTPS::HeartbeatFields f;
                    if (RTPS::decodeHeartbeat(s, f)) {
                        t.heartbeats.push_back(f);
                    }
                }
            }
        }
        seen = sent.size();
        return t;
    }

private:
    FakeTransport& m_transport;
    std::map<size_t, size_t> m_seen;
};
