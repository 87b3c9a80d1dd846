#include "rtps/dsvc/DSVCClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "DsvcPeers.h"
#include "rtps/dsvc/DSVCMessage.h"

namespace {

using namespace RTPS;
using namespace dsvc_test;

DSVCTimings quick() {
    DSVCTimings t;
    t.waitSliceMs = 200;
    t.connectLimitMs = 300;
    t.joinLimitMs = 2000;
    return t;
}

class DSVCClientTest : public ::testing::Test {
protected:
    // A started client of the listener; `server` is its accepted end, INIT already read.
    void connect() {
        client = std::make_shared<DSVCClient>(&reader, guid(6, 0x04), listener.port(), quick());
        ASSERT_TRUE(client->init("127.0.0.1"));
        ASSERT_TRUE(client->start());
        server = listener.accept();
        DSVCFrame init;
        ASSERT_TRUE(server.nextFrame(init));
        EXPECT_EQ(init.tag, DSVC_TAG_INIT);
        EXPECT_EQ(init.length, 32u);
        GUID_t g{};
        ASSERT_TRUE(parseDsvcInit(init.body.data(), init.body.size(), g));
        EXPECT_EQ(g, guid(6, 0x04));
        ASSERT_TRUE(reader.log.waitFor(1));
        EXPECT_EQ(reader.log.calls()[0].tag, DSVC_TAG_CONNECTED);
        EXPECT_TRUE(client->isConnected());
    }
    void TearDown() override {
        if (client) {
            client->stop();
            client->join();
        }
    }
    RawListener listener;
    RecordingReader reader;
    std::shared_ptr<DSVCClient> client;
    RawPeer server;
};

TEST_F(DSVCClientTest, HandsOverSamplesAndPausesAndEndsOnStop) {
    connect();
    StoredSample big(guid(2), 1, 16u << 20);  // far more than a socket buffer holds
    std::vector<uint8_t> const smpl = buildDsvcSample(*big.info);
    std::thread sender([&] {
        server.send(smpl);
        server.send(frame(20, 0x0807060504030201ULL, std::vector<uint8_t>(8, 1)));
        server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
        server.send(buildDsvcEmpty(DSVC_TAG_STOP));
    });
    ASSERT_TRUE(reader.log.waitFor(4, 20000ms));
    sender.join();
    std::vector<Upcall> const calls = reader.log.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].tag, DSVC_TAG_SMPL);
    EXPECT_EQ(calls[1].body.size(), smpl.size() - 12);
    EXPECT_TRUE(std::equal(calls[1].body.begin(), calls[1].body.end(), smpl.begin() + 12));
    EXPECT_EQ(calls[2].tag, DSVC_TAG_PAUS);
    EXPECT_EQ(calls[3].tag, DSVC_TAG_STOP);
    EXPECT_TRUE(server.closedWithin(2000ms));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reader.log.calls().size(), 4u);
}

TEST_F(DSVCClientTest, ServerThatNeverAnswersEndsWithStopAfterTheLimit) {
    uint16_t port;
    {
        RawListener gone;
        port = gone.port();
    }
    client = std::make_shared<DSVCClient>(&reader, guid(6), port, quick());
    ASSERT_TRUE(client->init("127.0.0.1"));
    auto const begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(client->start());
    ASSERT_TRUE(reader.log.waitFor(1, 3000ms));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 250ms);
    std::vector<Upcall> const calls = reader.log.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].tag, DSVC_TAG_STOP);
    EXPECT_FALSE(client->isConnected());
}

TEST_F(DSVCClientTest, ReportsStopWhenTheStreamBreaks) {
    struct Case {
        char const* name;
        std::vector<uint8_t> bytes;
        bool close;
    } const cases[] = {
        {"length five", frame(5, DSVC_TAG_SMPL), false},
        {"length 2^31", frame(0x80000000u, DSVC_TAG_SMPL), false},
        {"server closes", {}, true},
    };
    for (auto const& c : cases) {
        reader.log.clear();
        connect();
        server.send(c.bytes);
        if (c.close) {
            server.close();
        }
        ASSERT_TRUE(reader.log.waitFor(2)) << c.name;
        EXPECT_EQ(reader.log.calls()[1].tag, DSVC_TAG_STOP) << c.name;
        client->join();
        EXPECT_EQ(reader.log.calls().size(), 2u) << c.name;
        client.reset();
        server = RawPeer();
    }
}

TEST_F(DSVCClientTest, SendStopReachesTheServer) {
    connect();
    client->sendSTOP();
    DSVCFrame f;
    ASSERT_TRUE(server.nextFrame(f));
    EXPECT_EQ(f.tag, DSVC_TAG_STOP);
    EXPECT_EQ(f.length, 12u);
}

TEST_F(DSVCClientTest, NothingIsDeliveredOnceStopReturns) {
    connect();
    std::atomic<bool> inDelivery{false};
    reader.onDelivery = [&](uint64_t tag) {
        if (tag == DSVC_TAG_PAUS) {
            inDelivery = true;
            std::this_thread::sleep_for(200ms);
        }
    };
    server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
    for (int i = 0; i < 20; ++i) {
        server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
    }
    while (!inDelivery.load()) {
        std::this_thread::sleep_for(1ms);
    }
    client->stop();
    // The delivery under way has finished; none follows.
    size_t const after = reader.log.calls().size();
    EXPECT_EQ(after, 2u);
    client->join();
    EXPECT_EQ(reader.log.calls().size(), after);
    EXPECT_TRUE(server.closedWithin(1000ms));
}

TEST_F(DSVCClientTest, StopFromInsideItsOwnDeliveryEndsTheLaterOnes) {
    connect();
    reader.onDelivery = [&](uint64_t tag) {
        if (tag == DSVC_TAG_PAUS) {
            client->stop();
        }
    };
    server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
    server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
    server.send(buildDsvcEmpty(DSVC_TAG_STOP));
    EXPECT_TRUE(server.closedWithin(2000ms));
    client->join();
    std::vector<Upcall> const calls = reader.log.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].tag, DSVC_TAG_PAUS);
}

}  // namespace
