#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "DsvcPeers.h"
#include "ParticipantFakes.h"
#include "rtps/dsvc/DSVCDataTransport.h"
#include "rtps/participant/ComponentFactory.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/reader/Reader.h"

// A durable reader of an engine participant in the DSVC client role loads its topic's stored
// history from a participant in the server role, over TCP on loopback; everything else is the
// engine's own, with a directory the test fills in place of discovery.

using namespace participant_test;
using namespace std::chrono_literals;

namespace {

constexpr unsigned DOMAIN_ID = 5;
constexpr uint16_t BASE_PORT = 7399;
constexpr uint8_t READER_KEY = 0x31;
uint8_t const SERVICE_PREFIX[12] = {0xD5, 0xD5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

vexa::dds::SubscriptionBuiltinTopicData durableSubscription() {
    vexa::dds::SubscriptionBuiltinTopicData s = subscription("Stored", READER_KEY);
    s.durability.kind = vexa::dds::TRANSIENT_DURABILITY_QOS;
    return s;
}

// Discovery as the service's participant needs it: every remote reader is the durable one.
class KnowsTheReader : public FakeDirectory {
public:
    bool getReaderConfig(RTPS::GUID_t const&,
                         vexa::dds::SubscriptionBuiltinTopicData& out) override {
        out = durableSubscription();
        return true;
    }
};

class ServiceFactory : public RTPS::ComponentFactory {
public:
    std::unique_ptr<RTPS::DiscoveryDirectory> makeDirectory(RTPS::ParticipantImpl*) override {
        return std::make_unique<KnowsTheReader>();
    }
};

// The application side: its link's only server is the service on loopback.
class ClientFactory : public RTPS::ComponentFactory {
public:
    std::unique_ptr<RTPS::DiscoveryDirectory> makeDirectory(RTPS::ParticipantImpl*) override {
        return std::make_unique<FakeDirectory>();
    }
    std::unique_ptr<RTPS::DsvcLink> makeDsvcLink(RTPS::ParticipantImpl* p, int) override {
        RTPS::DSVCTimings t;
        t.waitSliceMs = 200;
        t.connectLimitMs = 3000;
        t.joinLimitMs = 2000;
        return std::make_unique<RTPS::DSVCDataTransport>(
            p, p->getCommunicationObject(), RTPS::DSVCDataTransportConfig(BASE_PORT, {"127.0.0.1"}),
            t);
    }
};

// The durability service: answers a reader's request from a thread of its own with the stored
// samples, then says it has no more.
class StoredHistory : public NullCommunicationObject {
public:
    ~StoredHistory() override { join(); }
    void getHistoricalData(unsigned int const* prefix, unsigned int entityId,
                           vexa::dds::SubscriptionBuiltinTopicData const*) override {
        std::array<unsigned, 3> words{prefix[0], prefix[1], prefix[2]};
        join();
        m_worker = std::thread([this, words, entityId] {
            std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> v;
            for (auto const& s : samples) {
                v.push_back(s.info);
            }
            participant->historicalData(words.data(), entityId, v);
            v.clear();
            participant->historicalData(words.data(), entityId, v);
        });
    }
    void join() {
        if (m_worker.joinable()) {
            m_worker.join();
        }
    }

    RTPS::Participant* participant = nullptr;
    std::vector<dsvc_test::StoredSample> samples;

private:
    std::thread m_worker;
};

// What the application sees: the announced handles, which the test reads and deletes.
class Application : public NullCommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo* sample) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handles.push_back(sample);
        m_cv.notify_all();
        return true;
    }
    // The oldest announced handle not yet taken, or null after the time-out.
    RTPS::SampleInfo* next(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_cv.wait_for(lock, limit, [&] { return !m_handles.empty(); })) {
            return nullptr;
        }
        RTPS::SampleInfo* h = m_handles.front();
        m_handles.pop_front();
        return h;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<RTPS::SampleInfo*> m_handles;
};

struct Taken {
    uint8_t writer;
    uint32_t sn;
};

// A service participant with two writers' stored samples, interleaved as the service keeps
// them (sizes differ so a mix-up shows), and an application participant with one durable
// reader that has room for two changes: the loading waits for the application to take them.
class DSVCDurableReader : public ::testing::Test {
protected:
    void SetUp() override {
        RTPS::GUID_t const w1 = dsvc_test::guid(0x21, 0x02);
        RTPS::GUID_t const w2 = dsvc_test::guid(0x22, 0x02);
        for (uint32_t sn = 1; sn <= 4; ++sn) {
            service.samples.emplace_back(w1, sn, 100 + sn, 0x10);
            service.samples.emplace_back(w2, sn, 200 + sn, 0x40);
        }
        vexa::dds::ParticipantBuiltinTopicData serviceData;
        std::memcpy(serviceData.key.value, SERVICE_PREFIX, 12);
        server = std::make_unique<RTPS::ParticipantImpl>(&service, 0, &serviceData, DOMAIN_ID, true,
                                                         std::make_shared<ServiceFactory>());
        ASSERT_EQ(server->getDsvcRole(), RTPS::ParticipantImpl::DSVC_SERVER);
        service.participant = server.get();

        vexa::dds::ParticipantBuiltinTopicData appData = ownData();
        client = std::make_unique<RTPS::ParticipantImpl>(&app, 0, &appData, DOMAIN_ID, false,
                                                         std::make_shared<ClientFactory>());
        ASSERT_EQ(client->getDsvcRole(), RTPS::ParticipantImpl::DSVC_CLIENT);
        server->start();
        client->start();

        vexa::dds::SubscriptionBuiltinTopicData sub = durableSubscription();
        RTPS::RTPS_AdditionalTopicData const extra{{1, 0}, 0};
        reader = client->addReader(&sub, extra, RTPS::TOPIC_KIND_NO_KEY, 2, nullptr);
        ASSERT_NE(reader, nullptr);
    }
    void TearDown() override {
        if (reader != nullptr) {
            reader->close();
        }
        service.join();
        client.reset();
        server.reset();
    }

    dsvc_test::StoredSample const* storedOf(uint8_t writer, uint32_t sn) {
        for (auto const& s : service.samples) {
            uint8_t prefix[12];
            std::memcpy(prefix, s.info->writerGuidPrefix, sizeof prefix);
            if (prefix[2] == writer && s.info->sequenceNumber.low == sn) {
                return &s;
            }
        }
        return nullptr;
    }

    ScratchDir dir;
    StoredHistory service;
    Application app;
    std::unique_ptr<RTPS::ParticipantImpl> server;
    std::unique_ptr<RTPS::ParticipantImpl> client;
    RTPS::Reader* reader = nullptr;
};

TEST_F(DSVCDurableReader, LoadsStoredHistoryInOrderThroughAFullHistoryBeforeTheWaitEnds) {
    // Per writer in ascending order, each once, with its own data.
    std::vector<uint32_t> perWriter[2];
    for (size_t i = 0; i < service.samples.size(); ++i) {
        RTPS::SampleInfo* h = app.next(5000ms);
        ASSERT_NE(h, nullptr) << "after " << i << " samples";
        if (i == 1) {
            // The history is full and samples are still to come.
            EXPECT_FALSE(reader->waitForHistoricalData({0, 0}));
        }
        unsigned int prefix[3];
        unsigned int entity = 0;
        RTPS::SampleInfo s{};
        reader->getChange(h, &prefix, &entity, s);
        uint8_t bytes[12];
        std::memcpy(bytes, prefix, sizeof bytes);
        Taken const t{bytes[2], s.sequenceNumber.low};
        dsvc_test::StoredSample const* expected = storedOf(t.writer, t.sn);
        ASSERT_NE(expected, nullptr) << i;
        ASSERT_EQ(s.length, expected->bytes.size()) << i;
        EXPECT_EQ(std::memcmp(s.data, expected->bytes.data(), s.length), 0) << i;
        perWriter[t.writer == 0x21 ? 0 : 1].push_back(t.sn);
        reader->deleteChange(h);
    }
    EXPECT_TRUE(reader->waitForHistoricalData({5, 0}));
    std::vector<uint32_t> const all{1, 2, 3, 4};
    EXPECT_EQ(perWriter[0], all);
    EXPECT_EQ(perWriter[1], all);
    EXPECT_EQ(app.next(200ms), nullptr);  // nothing twice
}

TEST_F(DSVCDurableReader, ClosingAReaderWhileItLoadsEndsAtOnce) {
    // Two changes in the history, the rest held up in the loader waiting for room.
    ASSERT_NE(app.next(5000ms), nullptr);
    ASSERT_NE(app.next(5000ms), nullptr);
    auto const begin = std::chrono::steady_clock::now();
    reader->close();
    reader = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms);
    EXPECT_EQ(app.next(300ms), nullptr);  // nothing announced after the close
}

}  // namespace
