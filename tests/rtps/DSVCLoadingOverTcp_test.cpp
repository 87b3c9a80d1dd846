#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "DsvcPeers.h"
#include "DsvcReaderHarness.h"
#include "DsvcServerSide.h"
#include "rtps/dsvc/DSVCDataTransport.h"
#include "rtps/dsvc/DSVCHistoryLoader.h"
#include "rtps/dsvc/DSVCServer.h"

namespace {

using namespace RTPS;
using namespace dsvc_test;
using State = DSVCHistoryLoader::State;

GUID_t const READER = guid(0x31, 0x07);
GUID_t const W = guid(0x21, 0x02);

DSVCTimings quick() {
    DSVCTimings t;
    t.waitSliceMs = 200;
    t.sendTimeoutMs = 1000;
    t.connectLimitMs = 1000;
    t.joinLimitMs = 2000;
    return t;
}

// A durable reader whose clients the engine's link makes, to servers on loopback.
std::unique_ptr<DurableReader> openReader(RecordingParticipant& participant, uint16_t port,
                                          std::vector<std::string> servers,
                                          std::unique_ptr<DSVCDataTransport>& link) {
    link.reset(new DSVCDataTransport(&participant, nullptr,
                                     DSVCDataTransportConfig(port, std::move(servers)), quick()));
    auto reader = std::make_unique<DurableReader>();
    std::vector<std::shared_ptr<DSVCServerChannel>> clients;
    link->addDSVCClient(reader.get(), READER, clients);
    reader->open(clients);
    return reader;
}

TEST(DSVCLoadingOverTcp, ReaderLoadsFromAServerParticipantUntilLiveDataCatchesUp) {
    // The server side: the engine's link in server role, a service with three stored samples.
    RecordingService service;
    RoleParticipant serverParticipant;
    DSVCDataTransport server(&serverParticipant, &service, DSVCDataTransportConfig(7399, {}),
                             quick());
    serverParticipant.link = &server;
    serverParticipant.discover(READER);
    std::vector<StoredSample> stored;
    for (uint32_t sn = 1; sn <= 3; ++sn) {
        stored.emplace_back(W, sn, 64);
    }
    service.answer = [&](unsigned int const* prefix, unsigned int id) {
        std::vector<std::shared_ptr<HistoricalSampleInfo>> v;
        for (auto const& s : stored) {
            v.push_back(s.info);
        }
        server.historicalData(prefix, id, v);
    };
    ASSERT_TRUE(server.addDSVCServer());
    std::atomic<bool> running{true};
    std::thread sender([&] {
        while (running.load()) {
            server.sendPending(running);
            std::this_thread::sleep_for(20ms);
        }
    });

    RecordingParticipant clientParticipant(0);
    std::unique_ptr<DSVCDataTransport> link;
    auto reader = openReader(clientParticipant, 7399, {"127.0.0.1"}, link);
    ASSERT_TRUE(reader->waitAnnounced(3));
    EXPECT_EQ(reader->announced(), (std::vector<Announced>{{0x21, 1}, {0x21, 2}, {0x21, 3}}));
    EXPECT_EQ(reader->loader->state(), State::LOADING);

    // The first live change of W is one the server's history already covers: the server has
    // caught up and is let go, although all its samples came before any live data.
    CacheChange* c = liveChange(W, 2);
    EXPECT_FALSE(reader->addLive(c));
    delete c;
    ASSERT_TRUE(reader->waitState(State::LOADED));
    ASSERT_TRUE(service.stopped.waitFor(1));
    c = liveChange(W, 4);
    EXPECT_TRUE(reader->addLive(c));
    EXPECT_EQ(reader->loader->state(), State::NORMAL);
    EXPECT_EQ(reader->announced().back(), (Announced{0x21, 4}));

    running = false;
    sender.join();
    reader.reset();
    server.stop();
}

TEST(DSVCLoadingOverTcp, ClosingTheReaderWhileItLoadsEndsEverythingAtOnce) {
    RawListener first;
    RecordingParticipant participant(0);
    std::unique_ptr<DSVCDataTransport> link;
    auto reader = openReader(participant, first.port(), {"127.0.0.1"}, link);
    RawPeer server = first.accept();
    DSVCFrame init;
    ASSERT_TRUE(server.nextFrame(init));
    for (uint32_t sn = 1; sn <= 3; ++sn) {
        StoredSample s(W, sn, 4096);
        server.send(buildDsvcSample(*s.info));
    }
    ASSERT_TRUE(reader->log.waitFor(4));  // CONNECTED and three SMPL
    auto const begin = std::chrono::steady_clock::now();
    reader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms);
    EXPECT_TRUE(server.closedWithin(1000ms));
    // The server goes on talking into a closed connection: nobody is there to hear it.
    server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
}

TEST(DSVCLoadingOverTcp, UnreachableServerEndsLoadingWithWhatTheOthersGave) {
    RawListener good;
    uint16_t const port = good.port();
    RecordingParticipant participant(0);
    std::unique_ptr<DSVCDataTransport> link;
    // The second address has nobody on that port: its client gives up and reports STOP.
    auto reader = openReader(participant, port, {"127.0.0.1", "127.0.0.2"}, link);
    RawPeer server = good.accept();
    DSVCFrame init;
    ASSERT_TRUE(server.nextFrame(init));
    StoredSample s(W, 1, 16);
    server.send(buildDsvcSample(*s.info));
    server.send(buildDsvcEmpty(DSVC_TAG_PAUS));
    server.send(buildDsvcEmpty(DSVC_TAG_STOP));
    ASSERT_TRUE(reader->waitState(State::LOADED, 5000ms));
    EXPECT_EQ(reader->announced(), (std::vector<Announced>{{0x21, 1}}));
}

}  // namespace
