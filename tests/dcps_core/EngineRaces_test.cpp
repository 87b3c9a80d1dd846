#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ReaderFixture.h"
#include "vexa/DataReaderImpl.h"

using vexa::dcps::Reader;
using vexatest::FakeReader;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

// A durable reader whose engine wait for historical data times out slice after slice; the
// fake engine reader fails the test when it is closed, or its participant destroyed, while
// such a wait is in flight.
class EngineRaces : public ReaderFixture {
protected:
    Reader* durableReader() {
        dds::DataReaderQos q = qosOf(1);
        q.durability.kind = dds::TRANSIENT_LOCAL_DURABILITY_QOS;
        Reader* r = makeReader(q);
        engineOf(r)->setHistoryResult(FakeReader::HistoryResult::TimedOut);
        return r;
    }
    // Starts a wait on another thread and returns once it is inside the engine.
    std::thread startWait(Reader* r, std::atomic<int>& rc) {
        FakeReader* engine = engineOf(r);
        std::thread t([this, r, &rc] { rc = sub_->waitForHistoricalData({30, 0}, r); });
        while (!engine->busy()) {
            std::this_thread::yield();
        }
        return t;
    }
    void TearDown() override {
        if (dp_ != nullptr) {
            ReaderFixture::TearDown();
        }
    }
};

}  // namespace

TEST_F(EngineRaces, WaitForHistoricalDataResults) {
    Reader* volatileReader = makeReader(qosOf(1));
    EXPECT_EQ(sub_->waitForHistoricalData({1, 0}, volatileReader), dds::RETCODE_OK);
    Reader* r = durableReader();
    FakeReader* engine = engineOf(r);
    auto const slicesOfAtMost100ms = [engine] {
        for (dds::Duration_t const& d : engine->historyWaits()) {
            EXPECT_LE(d, (dds::Duration_t{0, 100000000}));
        }
    };
    auto const start = std::chrono::steady_clock::now();
    EXPECT_EQ(sub_->waitForHistoricalData({0, 250000000}, r), dds::RETCODE_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    slicesOfAtMost100ms();

    // A long wait asks the engine again slice after slice until it has the history.
    size_t const before = engine->historyWaits().size();
    std::atomic<int> rc{-1};
    std::thread waiter([&] { rc = sub_->waitForHistoricalData({30, 0}, r); });
    EXPECT_TRUE(engine->awaitHistoryWaits(before + 3, std::chrono::seconds(10)));
    engine->setHistoryResult(FakeReader::HistoryResult::Delivered);
    waiter.join();
    EXPECT_EQ(rc.load(), dds::RETCODE_OK);
    slicesOfAtMost100ms();

    engine->setHistoryResult(FakeReader::HistoryResult::Throw);
    EXPECT_EQ(sub_->waitForHistoricalData({1, 0}, r), dds::RETCODE_ERROR);
}

// The delete returns at once; the engine reader is closed by the wait when it leaves.
TEST_F(EngineRaces, DeleteDuringAWaitForHistoricalData) {
    Reader* r = durableReader();
    FakeReader* engine = engineOf(r);
    std::atomic<int> rc{-1};
    std::thread waiter = startWait(r, rc);
    ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
    waiter.join();
    EXPECT_EQ(rc.load(), dds::RETCODE_ALREADY_DELETED);
    EXPECT_TRUE(engine->closed());
    dds::DataReaderQos q = r->getQoS();
    q.deadline.period = {1, 0};
    EXPECT_EQ(sub_->setReaderQoS(q, r), dds::RETCODE_NOT_ENABLED);
    EXPECT_EQ(sub_->waitForHistoricalData({1, 0}, r), dds::RETCODE_NOT_ENABLED);
}

// The participant's close waits for the wait to leave before the engine participant goes;
// afterwards the reader has no engine reader.
TEST_F(EngineRaces, ParticipantCloseDuringAWaitForHistoricalData) {
    Reader* r = durableReader();
    std::atomic<int> rc{-1};
    std::thread waiter = startWait(r, rc);
    dp_->close();
    waiter.join();
    EXPECT_EQ(rc.load(), dds::RETCODE_ALREADY_DELETED);
    EXPECT_EQ(sub_->waitForHistoricalData({1, 0}, r), dds::RETCODE_NOT_ENABLED);
    EXPECT_EQ(sub_->setReaderQoS(r->getQoS(), r), dds::RETCODE_NOT_ENABLED);
    dds::DataReaderQos const q = qosOf(1);
    EXPECT_EQ(sub_->createDR(keyed_, &q, nullptr, 0), nullptr);
    EXPECT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
}

// QoS changes and waits on one thread, deletion or close on another (TSan, ASan).
TEST_F(EngineRaces, QosChangesAndWaitsAgainstDeleteAndClose) {
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "delete");
        Reader* r = durableReader();
        std::atomic<bool> stop{false};
        std::thread busy([&] {
            dds::DataReaderQos q = r->getQoS();
            for (int i = 0; !stop.load(); ++i) {
                q.deadline.period = {1 + (i & 1), 0};
                sub_->setReaderQoS(q, r);
                sub_->waitForHistoricalData({0, 1000000}, r);
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (close) {
            dp_->close();
        } else {
            EXPECT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop = true;
        busy.join();
    }
}
