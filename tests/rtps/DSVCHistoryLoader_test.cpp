#include "rtps/dsvc/DSVCHistoryLoader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "DsvcReaderHarness.h"

namespace {

using namespace RTPS;
using namespace dsvc_test;
using State = DSVCHistoryLoader::State;

GUID_t const W = guid(0x21, 0x02);
GUID_t const X = guid(0x22, 0x02);
constexpr int S1 = 101;
constexpr int S2 = 102;

// One durable reader with fake server channels; messages are delivered by hand.
class Loading : public ::testing::Test {
protected:
    void open(int servers = 1, size_t limit = 0) {
        reader = std::make_unique<DurableReader>(limit);
        std::vector<std::shared_ptr<DSVCServerChannel>> list;
        for (int i = 0; i < servers; ++i) {
            channels.push_back(std::make_shared<FakeChannel>(S1 + i));
            list.push_back(channels.back());
        }
        reader->open(list);
    }
    void smpl(int socket, GUID_t const& writer, uint32_t sn) {
        std::vector<uint8_t> body = smplBody(writer, sn);
        reader->dsvcDataRecipient(socket, DSVC_TAG_SMPL, body.data(),
                                  static_cast<unsigned>(body.size()));
    }
    void paus(int socket) { reader->dsvcDataRecipient(socket, DSVC_TAG_PAUS, nullptr, 0); }
    void stop(int socket) { reader->dsvcDataRecipient(socket, DSVC_TAG_STOP, nullptr, 0); }
    // A live change on the parser thread's road; false when the reader did not keep it.
    bool live(GUID_t const& writer, uint32_t sn) {
        CacheChange* c = liveChange(writer, sn);
        bool const kept = reader->addLive(c);
        if (!kept) {
            delete c;
        }
        return kept;
    }
    std::vector<Announced> settle(size_t n) {
        reader->waitAnnounced(n, 2000ms);
        std::this_thread::sleep_for(30ms);  // and nothing more comes
        return reader->announced();
    }
    using A = std::vector<Announced>;
    static Announced w(uint32_t sn) { return {0x21, sn}; }
    static Announced x(uint32_t sn) { return {0x22, sn}; }

    std::vector<std::shared_ptr<FakeChannel>> channels;
    std::unique_ptr<DurableReader> reader;
};

TEST_F(Loading, StoredSamplesGoOverInOrderOnPause) {
    open();
    for (uint32_t sn = 1; sn <= 5; ++sn) {
        smpl(S1, W, sn);
    }
    EXPECT_TRUE(settle(0).empty());
    paus(S1);
    EXPECT_EQ(settle(5), (A{w(1), w(2), w(3), w(4), w(5)}));
    EXPECT_EQ(reader->loader->state(), State::LOADING);
}

TEST_F(Loading, AGapHoldsBackWhatFollowsUntilItCloses) {
    open();
    smpl(S1, W, 1);
    smpl(S1, W, 2);
    smpl(S1, W, 4);
    paus(S1);
    EXPECT_EQ(settle(2), (A{w(1), w(2)}));
    smpl(S1, W, 3);  // goes between 2 and 4
    EXPECT_EQ(reader->loader->assemblySize(), 4u);
    paus(S1);
    EXPECT_EQ(settle(4), (A{w(1), w(2), w(3), w(4)}));
}

TEST_F(Loading, LiveChangeFillsAGapInItsPlace) {
    open();
    smpl(S1, W, 1);
    smpl(S1, W, 2);
    smpl(S1, W, 4);
    paus(S1);
    EXPECT_EQ(settle(2), (A{w(1), w(2)}));
    EXPECT_TRUE(live(W, 3));  // the server's history (4) is past it: the server is let go
    EXPECT_EQ(channels[0]->stopsSent.load(), 1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(4), (A{w(1), w(2), w(3), w(4)}));
}

TEST_F(Loading, SecondCopyOfAChangeIsDropped) {
    open(2);
    smpl(S1, W, 1);
    smpl(S2, W, 1);  // the other server's copy
    EXPECT_EQ(reader->loader->assemblySize(), 1u);
    EXPECT_FALSE(live(W, 1));  // and the live one, which shows both servers have caught up
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(1), (A{w(1)}));
    EXPECT_FALSE(live(W, 1));  // not above the final mark
}

TEST_F(Loading, CaughtUpServerIsToldStopAndTheRestIsFlushed) {
    open();
    smpl(S1, W, 1);
    EXPECT_TRUE(live(W, 5));  // the live data of W starts at 5
    smpl(S1, W, 2);
    EXPECT_EQ(channels[0]->stopsSent.load(), 0);
    smpl(S1, W, 7);  // the server's history has reached the live data
    EXPECT_EQ(channels[0]->stopsSent.load(), 1);
    EXPECT_EQ(channels[0]->stops.load(), 1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(4), (A{w(1), w(2), w(5), w(7)}));
    EXPECT_FALSE(live(W, 6));  // not above the final mark 7
    EXPECT_EQ(reader->loader->state(), State::NORMAL);
    EXPECT_TRUE(live(W, 8));
    EXPECT_EQ(settle(5).back(), w(8));
}

// A writer matched while the reader loaded repairs from where the reader's proxy of it began:
// its repeats of what the history handed over come after newer live changes, and stay dropped.
TEST_F(Loading, RepeatsBelowTheFinalMarkStayDroppedAfterLoading) {
    open();
    for (uint32_t sn = 1; sn <= 5; ++sn) {
        smpl(S1, W, sn);
    }
    EXPECT_TRUE(live(W, 6));  // the server's history is behind it: the server is let go
    stop(S1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(6), (A{w(1), w(2), w(3), w(4), w(5), w(6)}));
    EXPECT_TRUE(live(W, 7));
    EXPECT_EQ(reader->loader->state(), State::NORMAL);
    for (uint32_t sn = 3; sn <= 6; ++sn) {
        EXPECT_FALSE(live(W, sn)) << sn;
    }
    EXPECT_TRUE(live(X, 1));  // a writer the history never had
    EXPECT_TRUE(live(W, 8));
    EXPECT_EQ(settle(9), (A{w(1), w(2), w(3), w(4), w(5), w(6), w(7), x(1), w(8)}));
}

TEST_F(Loading, StoredSamplesThatCameBeforeAnyLiveDataStillCatchUp) {
    open();
    smpl(S1, W, 1);
    smpl(S1, W, 2);
    smpl(S1, W, 3);
    EXPECT_FALSE(live(W, 3));  // the server has it already
    EXPECT_EQ(channels[0]->stopsSent.load(), 1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(3), (A{w(1), w(2), w(3)}));
}

TEST_F(Loading, WriterKnownOnlyToTheServerDoesNotHoldItBack) {
    open();
    EXPECT_TRUE(live(W, 5));
    smpl(S1, X, 1);  // no live data of X: not followed
    smpl(S1, W, 5);
    EXPECT_EQ(channels[0]->stopsSent.load(), 1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(2), (A{w(5), x(1)}));
}

TEST_F(Loading, PauseOfALaterServerWaitsForTheEarlierOnes) {
    open(2);
    smpl(S1, W, 1);
    smpl(S2, X, 1);
    paus(S2);
    EXPECT_TRUE(settle(0).empty());
    paus(S1);
    EXPECT_EQ(settle(2), (A{w(1), x(1)}));
}

TEST_F(Loading, ServerWithoutHistoryEndsLoadingAtOnce) {
    open();
    stop(S1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(reader->loader->assemblySize(), 0u);
    EXPECT_TRUE(reader->announced().empty());
    EXPECT_EQ(channels[0]->stopsSent.load(), 0);  // it ended by itself
}

TEST_F(Loading, SampleWhoseLengthFieldLiesIsIgnored) {
    open();
    std::vector<uint8_t> body = smplBody(W, 1, 16);
    for (uint64_t n : {uint64_t{17}, uint64_t{15}, (uint64_t{1} << 32) + 16, ~uint64_t{0}}) {
        std::vector<uint8_t> b = body;
        std::memcpy(b.data() + 48, &n, 8);
        reader->dsvcDataRecipient(S1, DSVC_TAG_SMPL, b.data(), static_cast<unsigned>(b.size()));
    }
    reader->dsvcDataRecipient(S1, DSVC_TAG_SMPL, body.data(), 63);
    EXPECT_EQ(reader->loader->assemblySize(), 0u);
    smpl(S1, W, 1);
    EXPECT_EQ(reader->loader->assemblySize(), 1u);
}

TEST_F(Loading, InterleavedWritersAfterAnUploadLoseNothing) {
    open();
    smpl(S1, X, 1);
    smpl(S1, W, 1);
    smpl(S1, W, 2);
    paus(S1);
    EXPECT_EQ(settle(3), (A{x(1), w(1), w(2)}));
    EXPECT_TRUE(live(X, 2));  // its writer's last change went over already
    EXPECT_TRUE(live(W, 3));
    paus(S1);
    EXPECT_EQ(settle(5), (A{x(1), w(1), w(2), x(2), w(3)}));
    stop(S1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(5).size(), 5u);  // each exactly once
}

TEST_F(Loading, LaterChangeAheadOfAnEarlierOneOfItsWriterKeepsTheOrder) {
    open();
    smpl(S1, W, 4);
    EXPECT_TRUE(live(W, 3));
    stop(S1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    EXPECT_EQ(settle(2), (A{w(3), w(4)}));
}

TEST_F(Loading, FullHistoryNeverStallsTheLiveRoad) {
    open(1, 2);
    for (uint32_t sn = 1; sn <= 5; ++sn) {
        smpl(S1, W, sn);
    }
    paus(S1);
    EXPECT_EQ(settle(2), (A{w(1), w(2)}));  // then the history is full
    auto const begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(live(X, 1));  // refused at once, as a full reader refuses
    stop(S1);                  // the last server goes: the flush waits on the loader's thread
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 100ms);
    EXPECT_EQ(reader->loader->state(), State::LOADING);
    // The application reads: room comes, and the rest goes in.
    auto const until = std::chrono::steady_clock::now() + 3000ms;
    while (reader->loader->state() != State::LOADED && std::chrono::steady_clock::now() < until) {
        reader->takeOne();
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(reader->loader->state(), State::LOADED);
    EXPECT_EQ(settle(5), (A{w(1), w(2), w(3), w(4), w(5)}));
}

TEST_F(Loading, SamplesAfterLoadingAreDropped) {
    open();
    stop(S1);
    ASSERT_TRUE(reader->waitState(State::LOADED));
    smpl(S1, W, 1);
    EXPECT_EQ(reader->loader->assemblySize(), 0u);
    EXPECT_TRUE(settle(0).empty());
}

TEST_F(Loading, StoppedReaderFreesWhatTheHistoryNeverGot) {
    open(1, 1);
    for (uint32_t sn = 1; sn <= 4; ++sn) {
        smpl(S1, W, sn);
    }
    EXPECT_TRUE(live(X, 1));
    paus(S1);
    EXPECT_EQ(settle(1), (A{w(1)}));
    reader->stop();
    EXPECT_EQ(channels[0]->stops.load(), 1);
    reader.reset();  // leak or double free shows under the sanitizers
}

}  // namespace
