#include "rtps/dsvc/DSVCServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "DsvcPeers.h"
#include "rtps/dsvc/DSVCMessage.h"

namespace {

using namespace RTPS;
using namespace dsvc_test;

constexpr uint16_t BASE_PORT = 7399;

DSVCTimings quick() {
    DSVCTimings t;
    t.waitSliceMs = 200;
    t.initWaitMs = 300;
    return t;
}

class DSVCServerTest : public ::testing::Test {
protected:
    void start(unsigned domain = 0, DSVCTimings const& timings = quick()) {
        participant.reset(new RecordingParticipant(domain));
        server.reset(new DSVCServer(participant.get(), BASE_PORT, timings));
        ASSERT_TRUE(server->init());
    }
    void TearDown() override {
        if (server) {
            server->stop();
        }
    }
    std::unique_ptr<RecordingParticipant> participant;
    std::unique_ptr<DSVCServer> server;
};

TEST_F(DSVCServerTest, ListensOnBasePortPlusDomain) {
    start(3);
    EXPECT_EQ(server->getPort(), 7402);
    RawPeer peer = RawPeer::connectTo(7402);
    peer.send(buildDsvcInit(guid(1)));
    ASSERT_TRUE(participant->log.waitFor(1));
    EXPECT_EQ(participant->log.calls()[0].socket >= 0, true);
}

TEST_F(DSVCServerTest, PortSumWrapsInSixteenBits) {
    participant.reset(new RecordingParticipant(100));
    server.reset(new DSVCServer(participant.get(), 65500, quick()));
    ASSERT_TRUE(server->init());
    EXPECT_EQ(server->getPort(), 64);
}

TEST_F(DSVCServerTest, BasePortBelow1024IsRefused) {
    participant.reset(new RecordingParticipant(0));
    server.reset(new DSVCServer(participant.get(), 1023, quick()));
    EXPECT_FALSE(server->init());
}

TEST_F(DSVCServerTest, InitSplitAcrossSegmentsIsAssembledAndReported) {
    start();
    RawPeer peer = RawPeer::connectTo(server->getPort());
    std::vector<uint8_t> const init = buildDsvcInit(guid(7));
    peer.send(std::vector<uint8_t>(init.begin(), init.begin() + 4));
    std::this_thread::sleep_for(50ms);
    peer.send(std::vector<uint8_t>(init.begin() + 4, init.begin() + 17));
    std::this_thread::sleep_for(50ms);
    peer.send(std::vector<uint8_t>(init.begin() + 17, init.end()));
    ASSERT_TRUE(participant->log.waitFor(1));
    Upcall const up = participant->log.calls()[0];
    EXPECT_EQ(up.tag, DSVC_TAG_INIT);
    GUID_t reader{};
    ASSERT_TRUE(parseDsvcInit(up.body.data(), up.body.size(), reader));
    EXPECT_EQ(reader, guid(7));
}

TEST_F(DSVCServerTest, OnlyTheFirstInitOfAConnectionCountsAndStopEndsIt) {
    start();
    RawPeer peer = RawPeer::connectTo(server->getPort());
    peer.send(buildDsvcInit(guid(1)));
    peer.send(buildDsvcInit(guid(2)));
    peer.send(frame(33, DSVC_TAG_INIT, std::vector<uint8_t>(21, 0)));  // wrong size
    peer.send(frame(12, 0x0102030405060708ULL));                       // unknown tag
    peer.send(buildDsvcEmpty(DSVC_TAG_STOP));
    EXPECT_TRUE(peer.closedWithin(2000ms));
    ASSERT_TRUE(participant->log.waitFor(2));
    std::vector<Upcall> const calls = participant->log.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].tag, DSVC_TAG_INIT);
    EXPECT_EQ(calls[1].tag, DSVC_TAG_STOP);
    EXPECT_EQ(calls[1].socket, calls[0].socket);
}

TEST_F(DSVCServerTest, StopBeforeInitClosesWithoutReport) {
    start();
    RawPeer peer = RawPeer::connectTo(server->getPort());
    peer.send(buildDsvcEmpty(DSVC_TAG_STOP));
    EXPECT_TRUE(peer.closedWithin(2000ms));
    EXPECT_TRUE(participant->log.calls().empty());
}

TEST_F(DSVCServerTest, ConnectionWithoutInitIsClosedAfterTheInitWait) {
    start();
    RawPeer peer = RawPeer::connectTo(server->getPort());
    auto const begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(peer.closedWithin(3000ms));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 250ms);
    peer.send(buildDsvcInit(guid(1)));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(participant->log.calls().empty());
}

// At its cap (two here) a new connection first closes the oldest one that has not said which
// reader it serves; a reader's connection is never closed for it, so when both are readers the
// new one is closed instead, before anything it sends is reported.
TEST_F(DSVCServerTest, AtTheCapAnIdleConnectionMakesRoomAndReadersAreKept) {
    struct Case {
        char const* name;
        bool secondIsReader;
    } const cases[] = {
        {"a reader and an idle peer: the idle one goes", false},
        {"two readers: the newcomer goes", true},
    };
    DSVCTimings patient = quick();
    patient.initWaitMs = 30000;  // nothing is closed for its silence within the test
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        participant.reset(new RecordingParticipant(0));
        server.reset(new DSVCServer(participant.get(), BASE_PORT, patient, 2));
        ASSERT_TRUE(server->init());
        RawPeer first = RawPeer::connectTo(server->getPort());
        first.send(buildDsvcInit(guid(1)));
        ASSERT_TRUE(participant->log.waitFor(1));
        RawPeer second = RawPeer::connectTo(server->getPort());
        if (c.secondIsReader) {
            second.send(buildDsvcInit(guid(2)));
            ASSERT_TRUE(participant->log.waitFor(2));
        } else {
            std::this_thread::sleep_for(200ms);  // accepted, and silent
        }
        RawPeer third = RawPeer::connectTo(server->getPort());
        if (c.secondIsReader) {
            EXPECT_TRUE(third.closedWithin(2000ms));
            third.send(buildDsvcInit(guid(3)));
            EXPECT_FALSE(second.closedWithin(300ms));
        } else {
            EXPECT_TRUE(second.closedWithin(2000ms));
            third.send(buildDsvcInit(guid(3)));
            ASSERT_TRUE(participant->log.waitFor(2));
            EXPECT_FALSE(third.closedWithin(300ms));
        }
        EXPECT_FALSE(first.closedWithin(100ms));
        std::this_thread::sleep_for(100ms);
        std::vector<Upcall> const calls = participant->log.calls();
        ASSERT_EQ(calls.size(), 2u);
        GUID_t reader{};
        ASSERT_TRUE(parseDsvcInit(calls[1].body.data(), calls[1].body.size(), reader));
        EXPECT_EQ(reader, c.secondIsReader ? guid(2) : guid(3));
        server->stop();
    }
}

TEST_F(DSVCServerTest, MalformedLengthsEndTheConnection) {
    struct Case {
        char const* name;
        uint32_t length;
        bool initFirst;
    } const cases[] = {
        {"zero after INIT", 0, true},
        {"five after INIT", 5, true},
        {"2^31 after INIT", 0x80000000u, true},
        {"zero before INIT", 0, false},
        {"2^31 before INIT", 0x80000000u, false},
    };
    start();
    for (auto const& c : cases) {
        RawPeer peer = RawPeer::connectTo(server->getPort());
        size_t const before = participant->log.calls().size();
        if (c.initFirst) {
            peer.send(buildDsvcInit(guid(9)));
            ASSERT_TRUE(participant->log.waitFor(before + 1)) << c.name;
        }
        std::vector<uint8_t> bad(12, 0xEE);
        std::memcpy(bad.data(), &c.length, 4);
        peer.send(bad);
        EXPECT_TRUE(peer.closedWithin(2000ms)) << c.name;
        if (c.initFirst) {
            ASSERT_TRUE(participant->log.waitFor(before + 2)) << c.name;
            EXPECT_EQ(participant->log.calls().back().tag, DSVC_TAG_STOP) << c.name;
        } else {
            std::this_thread::sleep_for(50ms);
            EXPECT_EQ(participant->log.calls().size(), before) << c.name;
        }
    }
}

TEST_F(DSVCServerTest, StopEndsConnectionsAtOnceAndReportsThemOnce) {
    DSVCTimings slow;  // the link's own slices: stop must not wait them out
    start(0, slow);
    RawPeer a = RawPeer::connectTo(server->getPort());
    RawPeer b = RawPeer::connectTo(server->getPort());
    a.send(buildDsvcInit(guid(1)));
    ASSERT_TRUE(participant->log.waitFor(1));
    auto const begin = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2000ms);
    EXPECT_EQ(participant->log.count(DSVC_TAG_STOP), 1u);
    EXPECT_TRUE(a.closedWithin(1000ms));
    EXPECT_TRUE(b.closedWithin(1000ms));
}

TEST_F(DSVCServerTest, ARestartedServerBindsThePortAtOnce) {
    start();
    uint16_t const port = server->getPort();
    {
        RawPeer peer = RawPeer::connectTo(port);
        peer.send(buildDsvcInit(guid(1)));
        ASSERT_TRUE(participant->log.waitFor(1));
        server->stop();  // the server closes first: its end of the connection waits in TIME_WAIT
        EXPECT_TRUE(peer.closedWithin(1000ms));
    }
    server.reset(new DSVCServer(participant.get(), BASE_PORT, quick()));
    EXPECT_TRUE(server->init());
    EXPECT_EQ(server->getPort(), port);
}

}  // namespace
