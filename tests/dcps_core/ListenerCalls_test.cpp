// Listeners as the data-handling thread calls them: with no core mutex held, so a listener may
// write and wait while the engine's threads take those mutexes, and a listener that throws
// is logged with its entity and does not stop the others.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ReaderFixture.h"
#include "dcps/api/DWEventForwarder.h"
#include "dcps/api/SubEventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "fake/FakeWriter.h"
#include "rtps/LogCapture.h"
#include "vexa/DataWriterImpl.h"

namespace {

using namespace std::chrono_literals;
using vexa::dcps::CoreRecursiveMutex;
using vexa::dcps::Reader;
using vexa::dcps::Writer;
namespace dds = vexa::dds;

// Runs `body` on every listener slot, counts the calls and lets a test wait for them.
class AnyListener : public vexa::dcps::api::SubEventForwarder,
                    public vexa::dcps::api::DWEventForwarder {
public:
    explicit AnyListener(std::function<void()> body) : body_(std::move(body)) {}

    void on_requested_deadline_missed(void*, dds::DeadlineMissedStatus const&) override { call(); }
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {
        call();
    }
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override { call(); }
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override { call(); }
    void on_data_available(void*) override { call(); }
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override { call(); }
    void on_sample_lost(void*, dds::SampleLostStatus const&) override { call(); }
    void on_offered_deadline_missed(void*, dds::DeadlineMissedStatus const&) override { call(); }
    void on_offered_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override { call(); }
    void on_liveliness_lost(void*, dds::LivelinessLostStatus const&) override { call(); }
    void on_publication_matched(void*, dds::PublicationMatchedStatus const&) override { call(); }
    void on_data_on_readers(void*) override { call(); }

    bool waitCalled(std::chrono::milliseconds limit, unsigned count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return called_.wait_for(lock, limit, [this, count] { return calls_ >= count; });
    }
    unsigned calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    void call() {
        // Counted even when the body throws.
        struct Count {
            AnyListener* self;
            ~Count() {
                std::lock_guard<std::mutex> lock(self->mutex_);
                ++self->calls_;
                self->called_.notify_all();
            }
        } count{this};
        body_();
    }

    std::function<void()> body_;
    std::mutex mutex_;
    std::condition_variable called_;
    unsigned calls_ = 0;
};

// Whether another thread can take each of `mutexes` now.
bool freeForOthers(std::vector<CoreRecursiveMutex*> const& mutexes) {
    bool free = true;
    std::thread([&] {
        for (CoreRecursiveMutex* m : mutexes) {
            if (m->try_lock()) {
                m->unlock();
            } else {
                free = false;
            }
        }
    }).join();
    return free;
}

class ListenerCalls : public vexatest::ReaderFixture {
protected:
    void SetUp() override {
        ReaderFixture::SetUp();
        pub_ = dp_->createPublisher(nullptr, nullptr, 0);
        ASSERT_NE(pub_, nullptr);
    }
    Writer* makeWriter(dds::DataWriterQos const& q) {
        auto* bridge = pub_->createDW(keyed_, &q, nullptr, 0);
        return bridge != nullptr ? bridge->getEntity() : nullptr;
    }

    vexa::dcps::Publisher* pub_ = nullptr;
};

}  // namespace

// Every kind of listener the data-handling thread calls finds the participant's mutex and its
// entity's parent's mutex free for the engine's threads.
TEST_F(ListenerCalls, NoCoreMutexIsHeldWhileAListenerRuns) {
    struct Case {
        char const* name;
        // Sets the listener and raises what it hears of.
        std::function<void(AnyListener*, Reader*, Writer*)> arm;
        // Takes the listener away again.
        std::function<void(Reader*, Writer*)> disarm;
    } const cases[] = {
        {"data available",
         [this](AnyListener* l, Reader* r, Writer*) {
             sub_->setReaderListener(l, dds::DATA_AVAILABLE_STATUS, r);
             offer(r, 1, 1);
         },
         [this](Reader* r, Writer*) { sub_->setReaderListener(nullptr, 0, r); }},
        {"data on readers",
         [this](AnyListener* l, Reader* r, Writer*) {
             sub_->setListener(l, dds::DATA_ON_READERS_STATUS);
             offer(r, 1, 1);
         },
         [this](Reader*, Writer*) { sub_->setListener(nullptr, 0); }},
        {"reader status",
         [this](AnyListener* l, Reader* r, Writer*) {
             sub_->setReaderListener(l, dds::SUBSCRIPTION_MATCHED_STATUS, r);
             r->set_status_changes(dds::SUBSCRIPTION_MATCHED_STATUS);
         },
         [this](Reader* r, Writer*) { sub_->setReaderListener(nullptr, 0, r); }},
        {"writer status",
         [this](AnyListener* l, Reader*, Writer* w) {
             pub_->setWriterListener(l, dds::PUBLICATION_MATCHED_STATUS, w);
             w->set_status_changes(dds::PUBLICATION_MATCHED_STATUS);
         },
         [this](Reader*, Writer* w) { pub_->setWriterListener(nullptr, 0, w); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Reader* r = makeReader(qosOf(10));
        Writer* w = makeWriter(vexa::dds::predefDataWriterQos());
        ASSERT_TRUE(r != nullptr && w != nullptr);
        std::atomic<bool> free{true};
        AnyListener listener([&] {
            if (!freeForOthers({&dp_->getMutex(), &sub_->getMutex(), &pub_->getMutex()})) {
                free = false;
            }
        });
        c.arm(&listener, r, w);
        ASSERT_TRUE(listener.waitCalled(10s));
        c.disarm(r, w);
        EXPECT_TRUE(free.load());
        sub_->deleteDR(r->getBridge());
        pub_->deleteDW(w->getBridge());
    }
}

// The hang of a listener that writes on a full reliable writer: its write waits for an
// acknowledgement that the engine's parser delivers only after it got through the participant
// mutex (a discovery record ahead of it). The write goes through long before its blocking time.
TEST_F(ListenerCalls, AListenerMayWriteAndWaitForRoom) {
    dds::DataWriterQos q = vexa::dds::predefDataWriterQos();
    q.durability.kind = dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    q.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    q.reliability.max_blocking_time = {5, 0};
    q.history.depth = 10;
    Writer* w = makeWriter(q);
    ASSERT_NE(w, nullptr);
    auto* engine = dynamic_cast<vexatest::FakeWriter*>(w->getRTPS());
    ASSERT_NE(engine, nullptr);
    vexatest::KeyedSample first{1, 1};
    ASSERT_EQ(pub_->write(w, &first, dds::HANDLE_NIL, nullptr), dds::RETCODE_OK);
    engine->blockAddsUntilAcknowledged(30s);

    std::atomic<dds::ReturnCode_t> rc{dds::RETCODE_ERROR};
    AnyListener listener([&] {
        vexatest::KeyedSample second{1, 2};
        rc = pub_->write(w, &second, dds::HANDLE_NIL, nullptr);
    });
    Reader* r = makeReader(qosOf(10));
    ASSERT_NE(r, nullptr);
    sub_->setReaderListener(&listener, dds::DATA_AVAILABLE_STATUS, r);
    offer(r, 1, 1);
    ASSERT_TRUE(engine->waitAddBlocked(10s));
    auto const start = std::chrono::steady_clock::now();
    std::thread parser([&] {
        std::lock_guard<CoreRecursiveMutex> lock(dp_->getMutex());
        engine->acknowledge();
    });
    parser.join();
    ASSERT_TRUE(listener.waitCalled(10s));
    sub_->setReaderListener(nullptr, 0, r);
    EXPECT_EQ(rc.load(), dds::RETCODE_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(engine->changes().size(), 2u);
}

// A listener that throws: caught at the call, logged with the listener's entity and topic,
// and the listener calls after it (another reader's, and its own next one) still come.
TEST_F(ListenerCalls, AThrowingListenerIsLoggedAndTheOthersGoOn) {
    LogCapture log;
    struct Case {
        char const* name;
        std::function<void()> throwIt;
        std::string logged;
    } const cases[] = {
        {"standard exception", [] { throw std::runtime_error("listener broke"); },
         "Слушатель DataReader темы \"K\" выбросил исключение, оно отброшено: listener broke"},
        {"anything else", [] { throw 42; },
         "Слушатель DataReader темы \"K\" выбросил исключение, оно отброшено: ?"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        size_t const before = LogCapture::count(c.logged);
        AnyListener thrower(c.throwIt);
        AnyListener quiet([] {});
        Reader* first = makeReader(qosOf(10));
        Reader* second = makeReader(qosOf(10));
        ASSERT_TRUE(first != nullptr && second != nullptr);
        sub_->setReaderListener(&thrower, dds::DATA_AVAILABLE_STATUS, first);
        sub_->setReaderListener(&quiet, dds::DATA_AVAILABLE_STATUS, second);
        offer(first, 1, 1);
        offer(second, 1, 1);
        ASSERT_TRUE(thrower.waitCalled(10s));
        ASSERT_TRUE(quiet.waitCalled(10s));
        drainReader(first);
        offer(first, 2, 2);
        EXPECT_TRUE(thrower.waitCalled(10s, 2));
        // A later pass: the thrower's pass, with its log line, is over.
        drainReader(second);
        offer(second, 2, 2);
        EXPECT_TRUE(quiet.waitCalled(10s, 2));
        EXPECT_TRUE(dp_->isHandlingData());
        EXPECT_EQ(LogCapture::count(c.logged), before + 2);
        sub_->setReaderListener(nullptr, 0, first);
        sub_->setReaderListener(nullptr, 0, second);
        sub_->deleteDR(first->getBridge());
        sub_->deleteDR(second->getBridge());
    }
}
