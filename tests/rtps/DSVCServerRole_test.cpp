#include "rtps/dsvc/DSVCServerRole.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "DsvcPeers.h"
#include "DsvcServerSide.h"
#include "rtps/dsvc/DSVCDataTransport.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/DSVCServer.h"
#include "rtps/participant/CommunicationObject.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace {

using namespace RTPS;
using namespace dsvc_test;

unsigned entityWord(GUID_t const& g) {
    return entityIdToU32(g.entityId);
}

class DSVCServerRoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        DSVCTimings t;
        t.waitSliceMs = 200;
        t.sendTimeoutMs = 1000;
        transport.reset(
            new DSVCDataTransport(&participant, &service, DSVCDataTransportConfig(7399, {}), t));
        participant.link = transport.get();
        ASSERT_TRUE(transport->addDSVCServer());
        role = transport->getServerRole();
    }
    void TearDown() override {
        stopSender();
        transport->stop();
    }
    RawPeer connectReader(GUID_t const& reader) {
        RawPeer peer = RawPeer::connectTo(transport->getServer()->getPort());
        peer.send(buildDsvcInit(reader));
        return peer;
    }
    bool waitForRecords(size_t n) {
        for (int i = 0; i < 500 && role->recordCount() != n; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        return role->recordCount() == n;
    }
    void hand(GUID_t const& reader, std::vector<StoredSample> const& samples) {
        std::vector<std::shared_ptr<HistoricalSampleInfo>> v;
        for (auto const& s : samples) {
            v.push_back(s.info);
        }
        unsigned int prefix[3];
        std::memcpy(prefix, reader.guidPrefix, 12);
        transport->historicalData(prefix, entityWord(reader), v);
    }
    // The participant's sender, as the engine runs it: a pass at every wake-up.
    void startSender() {
        running = true;
        sender = std::thread([this] {
            while (running.load()) {
                transport->sendPending(running);
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    void stopSender() {
        running = false;
        if (sender.joinable()) {
            sender.join();
        }
    }
    void pass() {
        std::atomic<bool> run{true};
        transport->sendPending(run);
    }

    RecordingService service;
    RoleParticipant participant;
    std::unique_ptr<DSVCDataTransport> transport;
    DSVCServerRole* role = nullptr;
    std::atomic<bool> running{false};
    std::thread sender;
};

TEST_F(DSVCServerRoleTest, InitOfAKnownReaderAsksForItsHistoryAtOnce) {
    GUID_t const reader = guid(1);
    participant.discover(reader);
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    Upcall const ask = service.asked.calls()[0];
    EXPECT_EQ(ask.tag, entityWord(reader));
    EXPECT_EQ(ask.body.size(), 1u);
    ASSERT_NE(role->dsvcFindClient(reinterpret_cast<unsigned const*>(reader.guidPrefix),
                                   entityWord(reader)),
              nullptr);
}

TEST_F(DSVCServerRoleTest, ReaderDiscoveredLaterIsAskedForOnce) {
    GUID_t const reader = guid(2);
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(waitForRecords(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(service.asked.calls().size(), 0u);
    GUID_t other = reader;
    other.entityId.entityKind = 0x04;  // discovery's kind byte may differ
    vexa::dds::SubscriptionBuiltinTopicData data{};
    transport->discoveredForDSVC(other, data);
    transport->discoveredForDSVC(other, data);
    ASSERT_EQ(service.asked.calls().size(), 1u);
    EXPECT_EQ(service.asked.calls()[0].tag, entityWord(reader));
}

TEST_F(DSVCServerRoleTest, SamplesGoOutInOrderThenPauseAfterEveryPass) {
    GUID_t const reader = guid(3);
    participant.discover(reader);
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    std::vector<StoredSample> samples;
    for (uint32_t sn = 1; sn <= 3; ++sn) {
        samples.emplace_back(guid(9, 0x02), sn, 10 * sn);
    }
    hand(reader, samples);
    pass();
    for (uint32_t sn = 1; sn <= 3; ++sn) {
        DSVCFrame f;
        ASSERT_TRUE(peer.nextFrame(f));
        ASSERT_EQ(f.tag, DSVC_TAG_SMPL);
        DSVCSampleView v{};
        ASSERT_TRUE(parseDsvcSample(f.body.data(), f.body.size(), v));
        EXPECT_EQ(v.sequenceNumber.low, sn);
        EXPECT_EQ(v.dataLength, 10u * sn);
    }
    DSVCFrame f;
    ASSERT_TRUE(peer.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_PAUS);
    pass();
    ASSERT_TRUE(peer.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_PAUS);
}

TEST_F(DSVCServerRoleTest, LargeSampleGoesOutAsOneMessage) {
    GUID_t const reader = guid(3);
    participant.discover(reader);
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    std::vector<StoredSample> samples;
    samples.emplace_back(guid(9, 0x02), 1, 100000);
    hand(reader, samples);
    pass();
    DSVCFrame f;
    ASSERT_TRUE(peer.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_SMPL);
    EXPECT_EQ(f.length, 100076u);
    EXPECT_TRUE(std::equal(samples[0].bytes.begin(), samples[0].bytes.end(), f.body.begin() + 64));
}

TEST_F(DSVCServerRoleTest, EmptyHistoryGetsStopAndDropsTheRecordWithoutTellingTheService) {
    GUID_t const reader = guid(4);
    participant.discover(reader);
    service.answer = [&](unsigned int const* prefix, unsigned int id) {
        std::vector<std::shared_ptr<HistoricalSampleInfo>> none;
        transport->historicalData(prefix, id, none);
    };
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    pass();
    DSVCFrame f;
    ASSERT_TRUE(peer.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_STOP);
    EXPECT_EQ(role->recordCount(), 0u);
    peer.close();  // the client goes; its connection's STOP finds no record
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(service.stopped.calls().size(), 0u);
}

TEST_F(DSVCServerRoleTest, ClientStopDropsQueuedSamplesAndTellsTheServiceOnce) {
    GUID_t const reader = guid(5);
    participant.discover(reader);
    RawPeer peer = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    std::vector<StoredSample> samples;
    samples.emplace_back(guid(9, 0x02), 1, 10);
    hand(reader, samples);
    peer.send(buildDsvcEmpty(DSVC_TAG_STOP));
    ASSERT_TRUE(service.stopped.waitFor(1));
    EXPECT_TRUE(waitForRecords(0));
    pass();
    EXPECT_TRUE(peer.closedWithin(1000ms));
    DSVCFrame f;
    EXPECT_FALSE(peer.nextFrame(f, 50ms));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(service.stopped.calls().size(), 1u);
    EXPECT_EQ(samples[0].info.use_count(), 1);
}

TEST_F(DSVCServerRoleTest, SecondConnectionOfTheSameReaderIsRefused) {
    GUID_t const reader = guid(6);
    participant.discover(reader);
    RawPeer first = connectReader(reader);
    ASSERT_TRUE(service.asked.waitFor(1));
    RawPeer second = connectReader(reader);
    DSVCFrame f;
    ASSERT_TRUE(second.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_STOP);
    EXPECT_TRUE(second.closedWithin(1000ms));
    // The first connection is untouched: its record still gets the samples.
    std::vector<StoredSample> samples;
    samples.emplace_back(guid(9, 0x02), 1, 10);
    hand(reader, samples);
    pass();
    ASSERT_TRUE(first.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_SMPL);
    EXPECT_EQ(service.asked.calls().size(), 1u);
    EXPECT_EQ(service.stopped.calls().size(), 0u);
    EXPECT_EQ(role->recordCount(), 1u);
}

TEST_F(DSVCServerRoleTest, StalledClientHoldsUpNeitherAnotherInitNorItsSamples) {
    GUID_t const stalled = guid(7);
    GUID_t const other = guid(8);
    participant.discover(stalled);
    participant.discover(other);
    RawPeer slow = connectReader(stalled);
    slow.setReceiveBuffer(4096);
    ASSERT_TRUE(service.asked.waitFor(1));
    std::vector<StoredSample> lots;
    for (uint32_t sn = 1; sn <= 64; ++sn) {
        lots.emplace_back(guid(9, 0x02), sn, 256 * 1024);
    }
    hand(stalled, lots);
    startSender();
    std::this_thread::sleep_for(100ms);  // the sender is stuck on the stalled socket now
    auto const begin = std::chrono::steady_clock::now();
    RawPeer fine = connectReader(other);
    ASSERT_TRUE(service.asked.waitFor(2, 2000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 250ms);
    std::vector<StoredSample> one;
    one.emplace_back(guid(9, 0x02), 1, 10);
    hand(other, one);
    DSVCFrame f;
    ASSERT_TRUE(fine.nextFrame(f, 3000ms));
    EXPECT_EQ(f.tag, DSVC_TAG_SMPL);
    // The stalled connection was given up: shut down, and the service told.
    ASSERT_TRUE(service.stopped.waitFor(1, 5000ms));
    EXPECT_EQ(service.stopped.calls()[0].tag, entityWord(stalled));
}

TEST_F(DSVCServerRoleTest, HistoryForAReaderWithoutRecordIsNotKept) {
    std::vector<StoredSample> samples;
    samples.emplace_back(guid(9, 0x02), 1, 10);
    GUID_t const nobody = guid(11);
    hand(nobody, samples);
    EXPECT_EQ(samples[0].info.use_count(), 1);
    EXPECT_EQ(role->recordCount(), 0u);
}

}  // namespace
