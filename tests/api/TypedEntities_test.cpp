#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "dcps/domain/DomainParticipant.h"
#include "isocpp/RetainRegistry.h"

namespace {

using apitest::expectThrowText;
using apitest::Keyed;
using dds::core::cond::WaitSet;
using dds::domain::DomainParticipant;

class TypedTest : public apitest::KeyedTopicSuite<TypedTest> {
public:
    static constexpr char const* TOPIC = "TypedKeyed";

protected:
    // A wait (bounded) for samples not read yet. The core triggers a read condition when a
    // sample arrives, so it is made before the samples are offered.
    struct DataWait {
        explicit DataWait(dds::sub::DataReader<Keyed> const& reader)
            : condition(reader, dds::sub::status::DataState::new_data()) {
            ws += condition;
        }
        bool operator()() {
            try {
                ws.wait(dds::core::Duration(5, 0));
                return true;
            } catch (dds::core::TimeoutError const&) {
                return false;
            }
        }
        dds::sub::cond::ReadCondition condition;
        WaitSet ws;
    };
};

TEST_F(TypedTest, topicCarriesItsNamesAndIsFoundByName) {
    EXPECT_EQ(topic_->name(), "TypedKeyed");
    EXPECT_EQ(topic_->type_name(), "vexatest::KeyedSample");
    std::weak_ptr<vexa::core::EntityBase> found = (*dp_)->lookup_topic_description("TypedKeyed");
    EXPECT_EQ(found.lock(), std::static_pointer_cast<vexa::core::EntityBase>(topic_->delegate()));
}

// take lends the reader's samples, in order, with their info; a second take finds nothing.
TEST_F(TypedTest, takeLendsTheArrivedSamples) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::qos::DataReaderQos q = sub.default_datareader_qos();
    q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
    dds::sub::DataReader<Keyed> reader(sub, *topic_, q);
    DataWait waitForData(reader);
    for (int32_t v = 1; v <= 3; ++v) {
        apitest::offer(reader->reader(), 5, v);
    }
    std::vector<int32_t> values;
    while (values.size() < 3 && waitForData()) {
        dds::sub::LoanedSamples<Keyed> samples = reader.take();
        for (auto const& s : samples) {
            ASSERT_TRUE(s.info().valid());
            EXPECT_EQ(s.data().key, 5);
            values.push_back(s.data().value);
        }
    }
    EXPECT_EQ(values, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(reader.take().empty());
}

// A read loan leaves the samples in the reader, marked read: read with "not read" finds
// nothing once the loan went back, and take still gets them.
TEST_F(TypedTest, readLeavesSamplesMarkedRead) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    DataWait waitForData(reader);
    apitest::offer(reader->reader(), 1, 10);
    ASSERT_TRUE(waitForData());
    {
        dds::sub::LoanedSamples<Keyed> first = reader.read();
        ASSERT_EQ(first.length(), 1u);
        EXPECT_EQ(first[0].data().value, 10);
        EXPECT_EQ(first[0].info().state().sample_state(),
                  dds::sub::status::SampleState::not_read());
    }
    EXPECT_TRUE(reader.read(dds::sub::status::DataState::new_data()).empty());
    dds::sub::LoanedSamples<Keyed> taken = reader.take();
    ASSERT_EQ(taken.length(), 1u);
    EXPECT_EQ(taken[0].info().state().sample_state(), dds::sub::status::SampleState::read());
}

// Moving a loan moves the duty to give it back; the moved-from one gives nothing back.
TEST_F(TypedTest, movedLoanIsGivenBackOnce) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    DataWait waitForData(reader);
    apitest::offer(reader->reader(), 2, 20);
    ASSERT_TRUE(waitForData());
    dds::sub::LoanedSamples<Keyed> kept;
    {
        dds::sub::LoanedSamples<Keyed> samples = reader.read();
        ASSERT_EQ(samples.length(), 1u);
        kept = std::move(samples);
    }
    ASSERT_EQ(kept.length(), 1u);
    EXPECT_EQ(kept[0].data().value, 20);
    kept = dds::sub::LoanedSamples<Keyed>();
    EXPECT_EQ(reader.take().length(), 1u);
}

// Counts its data-available calls and triggers `called` after each, so the test thread can
// wait for the callback itself (it runs after the read condition wakes waiters).
struct Counting : dds::sub::NoOpDataReaderListener<Keyed> {
    std::function<void(dds::sub::DataReader<Keyed>&)> onData;
    std::atomic<int> calls{0};
    dds::core::cond::GuardCondition called;
    void on_data_available(dds::sub::DataReader<Keyed>& r) override {
        ++calls;
        if (onData) {
            onData(r);
        }
        called.trigger_value(true);
    }
    bool waitCalled() {
        WaitSet ws;
        ws += called;
        try {
            ws.wait(dds::core::Duration(5, 0));
        } catch (dds::core::TimeoutError const&) {
            return false;
        }
        called.trigger_value(false);
        return true;
    }
};

// The reader's listener hears of new data and may remove itself from inside the callback:
// its forwarder and adapter go only once the callback has returned (ASan watches).
TEST_F(TypedTest, readerListenerRemovesItselfInsideItsCallback) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    Counting listener;
    listener.onData = [&](dds::sub::DataReader<Keyed>& r) {
        r.listener(nullptr, dds::core::status::StatusMask::none());
    };
    reader.listener(&listener, dds::core::status::StatusMask::data_available());
    apitest::offer(reader->reader(), 3, 30);
    ASSERT_TRUE(listener.waitCalled());
    EXPECT_FALSE(reader->has_listener());
    DataWait waitForData(reader);
    apitest::offer(reader->reader(), 3, 31);
    ASSERT_TRUE(waitForData());
    EXPECT_EQ(listener.calls.load(), 1);
}

// Replacing the listener from inside its callback installs the new one.
TEST_F(TypedTest, readerListenerReplacesItselfInsideItsCallback) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    Counting first;
    Counting second;
    first.onData = [&](dds::sub::DataReader<Keyed>& r) {
        r.listener(&second, dds::core::status::StatusMask::data_available());
    };
    reader.listener(&first, dds::core::status::StatusMask::data_available());
    apitest::offer(reader->reader(), 4, 40);
    ASSERT_TRUE(first.waitCalled());
    reader.take();
    apitest::offer(reader->reader(), 4, 41);
    ASSERT_TRUE(second.waitCalled());
    EXPECT_EQ(first.calls.load(), 1);
    EXPECT_EQ(second.calls.load(), 1);
}

// Another thread replaces and removes the reader's listener while the data-handling thread
// calls it: a replaced forwarder goes only once the core no longer calls it (run under the
// sanitizers).
TEST_F(TypedTest, readerListenerReplacedFromAnotherThreadWhileDataArrives) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    Counting first;
    Counting second;
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (int32_t v = 0; v < 200; ++v) {
            apitest::offer(reader->reader(), 9, v);
        }
        done = true;
    });
    auto const mask = dds::core::status::StatusMask::data_available();
    while (!done) {
        reader.listener(&first, mask);
        reader.listener(&second, mask);
        reader.listener(nullptr, dds::core::status::StatusMask::none());
    }
    feeder.join();
    EXPECT_FALSE(reader->has_listener());
}

// Each operation after close throws with its own line; the entity still goes with its handles.
TEST_F(TypedTest, closedWriterReaderAndTopicThrowWithTheirLines) {
    dds::pub::Publisher pub(*dp_);
    dds::sub::Subscriber sub(*dp_);
    dds::topic::Topic<Keyed> topic(*dp_, "TypedClosed");
    dds::pub::DataWriter<Keyed> writer(pub, topic);
    dds::sub::DataReader<Keyed> reader(sub, topic);
    writer.close();
    reader.close();
    topic.close();
    Keyed s;
    struct Case {
        std::string text;
        std::function<void()> op;
    };
    std::string const w = "DataWriter is already closed at DataWriterDelegate:";
    std::string const r = "DataReader is already closed at DataReaderDelegate:";
    std::string const t = "Topic is already closed at TopicDelegate:";
    std::vector<Case> const cases = {
        {w + "60", [&] { writer.close(); }},
        {w + "70", [&] { writer.qos(); }},
        {w + "100", [&] { writer.listener(nullptr, dds::core::status::StatusMask::none()); }},
        {w + "125", [&] { writer.wait_for_acknowledgments(dds::core::Duration(1, 0)); }},
        {w + "137", [&] { writer.publication_matched_status(); }},
        {w + "178", [&] { writer.write(s); }},
        {w + "184", [&] { writer.write(s, dds::core::Time(1, 0)); }},
        {w + "192", [&] { writer.register_instance(s); }},
        {w + "198", [&] { writer.unregister_instance(s); }},
        {w + "205", [&] { writer.dispose_instance(s); }},
        {w + "210", [&] { writer.lookup_instance(s); }},
        {r + "60", [&] { reader.close(); }},
        {r + "70", [&] { reader.qos(); }},
        {r + "100", [&] { reader.listener(nullptr, dds::core::status::StatusMask::none()); }},
        {r + "130", [&] { reader.subscription_matched_status(); }},
        {r + "165", [&] { reader.read(); }},
        {r + "177", [&] { reader.take(); }},
        {t + "40", [&] { topic.close(); }},
        {t + "50", [&] { topic.name(); }},
        {t + "65", [&] { topic.qos(); }},
        {t + "77", [&] { topic.inconsistent_topic_status(); }},
    };
    for (Case const& c : cases) {
        expectThrowText<dds::core::AlreadyClosedError>(c.op, c.text);
    }
}

// Writing reaches the core writer; the fake engine takes every change.
TEST_F(TypedTest, writeReachesTheCoreWriter) {
    dds::pub::Publisher pub(*dp_);
    dds::pub::DataWriter<Keyed> writer(pub, *topic_);
    Keyed s;
    s.key = 1;
    for (int32_t v = 0; v < 5; ++v) {
        s.value = v;
        EXPECT_NO_THROW(writer << s);
    }
    EXPECT_FALSE(writer.lookup_instance(s).is_nil());
}

// retain() twice then close() leaves no copy; the writer survives its handles until then.
TEST_F(TypedTest, retainedWriterReaderAndTopicAreListedUntilClosed) {
    dds::pub::Publisher pub(*dp_);
    dds::sub::Subscriber sub(*dp_);
    std::weak_ptr<vexa::pub::DataWriterDelegate> w;
    std::weak_ptr<vexa::sub::DataReaderDelegate> r;
    std::weak_ptr<vexa::topic::TopicDelegate> t;
    {
        dds::topic::Topic<Keyed> topic(*dp_, "TypedRetained");
        dds::pub::DataWriter<Keyed> writer(pub, topic);
        dds::sub::DataReader<Keyed> reader(sub, topic);
        writer.retain();
        writer.retain();
        reader.retain();
        topic.retain();
        w = writer.delegate();
        r = reader.delegate();
        t = topic.delegate();
        EXPECT_EQ(vexa::core::dataWriterRetain.count(dds::pub::AnyDataWriter(writer)), 2u);
    }
    ASSERT_FALSE(w.expired());
    ASSERT_FALSE(r.expired());
    dds::pub::DataWriter<Keyed>(w.lock()).close();
    dds::sub::DataReader<Keyed>(r.lock()).close();
    EXPECT_TRUE(w.expired());
    EXPECT_TRUE(r.expired());
    ASSERT_FALSE(t.expired());
    dds::topic::Topic<Keyed>(t.lock()).close();
    EXPECT_TRUE(t.expired());
}

// Type-erased handles compare by their core entity and give the typed handle back.
TEST_F(TypedTest, anyHandlesIdentifyTheirEntity) {
    dds::pub::Publisher pub(*dp_);
    dds::pub::DataWriter<Keyed> one(pub, *topic_);
    dds::pub::DataWriter<Keyed> two(pub, *topic_);
    dds::pub::AnyDataWriter a(one);
    EXPECT_TRUE(a == dds::pub::AnyDataWriter(one));
    EXPECT_FALSE(a == dds::pub::AnyDataWriter(two));
    EXPECT_EQ(a.topic_name(), "TypedKeyed");
    EXPECT_EQ(a.get<dds::pub::DataWriter<Keyed>>(), one);
    dds::topic::AnyTopic any(*topic_);
    EXPECT_EQ(any.name(), "TypedKeyed");
    EXPECT_TRUE(any == dds::topic::AnyTopic(*topic_));
}

// Lookups by topic name give the registered API object of the typed writer and reader.
TEST_F(TypedTest, lookupsFindTheTypedWriterAndReader) {
    dds::pub::Publisher pub(*dp_);
    dds::sub::Subscriber sub(*dp_);
    dds::pub::DataWriter<Keyed> writer(pub, *topic_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    EXPECT_EQ(pub->lookup_data_writer("TypedKeyed").lock(),
              std::static_pointer_cast<vexa::core::EntityBase>(writer.delegate()));
    std::weak_ptr<vexa::core::EntityBase> api;
    std::string type;
    EXPECT_EQ(sub->lookup_data_reader("TypedKeyed", api, type), reader->bridge());
    EXPECT_FALSE(type.empty());
    EXPECT_EQ(api.lock(), std::static_pointer_cast<vexa::core::EntityBase>(reader.delegate()));
}

// enable() of an entity whose parent is not enabled is refused; once the parent is, it works;
// after close it is refused as closed.
TEST(TypedEnable, aWriterOfADisabledPublisherThenClosed) {
    auto q = DomainParticipant::default_participant_qos();
    q.policy(dds::core::policy::EntityFactory(false));
    DomainParticipant dp(apitest::DOMAIN, q);
    dds::topic::Topic<Keyed> topic(dp, "TypedEnable");
    dds::pub::Publisher pub(dp);
    dds::pub::DataWriter<Keyed> writer(pub, topic);
    expectThrowText<dds::core::PreconditionNotMetError>(
        [&] { writer.enable(); }, "The factory is not enabled at EntityDelegate:37");
    pub.enable();
    EXPECT_NO_THROW(writer.enable());
    writer.close();
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { writer.enable(); }, "Entity has been already closed at EntityDelegate:41");
}

// A wait for acknowledgements that the engine does not give in time throws TimeoutError with
// its location; best-effort writers are not waited for.
TEST(TypedAcknowledgements, timeoutForReliableWritersOnly) {
    using Kind = dds::core::policy::ReliabilityKind;
    struct Case {
        Kind::Type kind;
        bool timesOut;
    } const cases[] = {{Kind::RELIABLE, true}, {Kind::BEST_EFFORT, false}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.kind);
        std::vector<vexatest::FakeParticipant*> const before =
            vexatest::FakeEngine::instance().live();
        DomainParticipant dp(apitest::DOMAIN);
        vexatest::FakeParticipant* engine = nullptr;
        for (vexatest::FakeParticipant* p : vexatest::FakeEngine::instance().live()) {
            if (std::find(before.begin(), before.end(), p) == before.end()) {
                engine = p;
            }
        }
        ASSERT_NE(engine, nullptr);
        dds::topic::Topic<Keyed> topic(dp, "TypedAcknowledged");
        dds::pub::Publisher pub(dp);
        dds::pub::qos::DataWriterQos q = pub.default_datawriter_qos();
        q.policy(dds::core::policy::Reliability(c.kind, dds::core::Duration::from_millisecs(100)));
        dds::pub::DataWriter<Keyed> writer(pub, topic, q);
        writer << Keyed();
        engine->setDeliveryResult(vexatest::FakeParticipant::DeliveryResult::TimedOut);
        auto const wait = [&] { pub.wait_for_acknowledgments(dds::core::Duration(0, 20000000)); };
        if (c.timesOut) {
            expectThrowText<dds::core::TimeoutError>(
                wait,
                "dds::core::TimeoutError : wait_for_acknowledgments at PublisherDelegate:210");
        } else {
            EXPECT_NO_THROW(wait());
        }
    }
}

// get_datareaders lists the readers with samples in the given states after what the caller's
// vector already holds, with their API objects and names.
TEST_F(TypedTest, getDatareadersAppendsTheReadersWithSamples) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> quiet(sub, *topic_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    DataWait waitForData(reader);
    apitest::offer(reader->reader(), 8, 80);
    ASSERT_TRUE(waitForData());
    std::vector<vexa::sub::SubscriberDelegate::ReaderAndNames> out(1);
    out[0].topic_name = "kept";
    sub->get_datareaders(out, vexa::dds::NOT_READ_SAMPLE_STATE, vexa::dds::ANY_VIEW_STATE,
                         vexa::dds::ANY_INSTANCE_STATE);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].topic_name, "kept");
    EXPECT_EQ(out[1].reader, reader->bridge());
    EXPECT_EQ(out[1].api_obj.lock(),
              std::static_pointer_cast<vexa::core::EntityBase>(reader.delegate()));
    EXPECT_EQ(out[1].topic_name, "TypedKeyed");
    EXPECT_FALSE(out[1].type_name.empty());
}

// A writer on a topic of another participant is refused before the core is asked.
TEST_F(TypedTest, writerOnAForeignTopicIsRefused) {
    DomainParticipant other(apitest::DOMAIN);
    dds::topic::Topic<Keyed> foreign(other, "TypedForeign");
    dds::pub::Publisher pub(*dp_);
    expectThrowText<dds::core::PreconditionNotMetError>(
        [&] { dds::pub::DataWriter<Keyed> w(pub, foreign); },
        "Topic was not created by the Domain Participant at PublisherDelegate:279");
}

// One of each kind, with weak references to every delegate.
struct Family {
    explicit Family(DomainParticipant const& dp, char const* topicName)
        : topic(dp, topicName), pub(dp), sub(dp), writer(pub, topic), reader(sub, topic) {}
    void watch(std::vector<std::weak_ptr<vexa::core::EntityDelegate>>& out) const {
        out.push_back(topic.delegate());
        out.push_back(pub.delegate());
        out.push_back(sub.delegate());
        out.push_back(writer.delegate());
        out.push_back(reader.delegate());
    }
    dds::topic::Topic<Keyed> topic;
    dds::pub::Publisher pub;
    dds::sub::Subscriber sub;
    dds::pub::DataWriter<Keyed> writer;
    dds::sub::DataReader<Keyed> reader;
};

// Closed then dropped, or only dropped: every delegate goes with the handles (ASan checks the
// core entities they delete).
TEST(TypedLifetimes, closedOrDroppedEveryKindGoes) {
    for (bool close : {true, false}) {
        std::vector<std::weak_ptr<vexa::core::EntityDelegate>> watched;
        {
            DomainParticipant dp(apitest::DOMAIN);
            watched.push_back(dp.delegate());
            Family f(dp, "Lifetimes");
            f.watch(watched);
            apitest::offer(f.reader->reader(), 1, 1);
            Keyed s;
            f.writer << s;
            if (close) {
                f.writer.close();
                f.reader.close();
                f.pub.close();
                f.sub.close();
                f.topic.close();
                dp.close();
            }
        }
        for (auto const& w : watched) {
            EXPECT_TRUE(w.expired()) << (close ? "closed" : "dropped");
        }
    }
}

// The topic's delegate deletes the core topic once its writers and readers have gone: the
// name is free in the core again.
TEST_F(TypedTest, droppedTopicLeavesTheCore) {
    {
        dds::pub::Publisher pub(*dp_);
        dds::topic::Topic<Keyed> topic(*dp_, "TypedDropped");
        dds::pub::DataWriter<Keyed> writer(pub, topic);
        ASSERT_NE((*dp_)->participant()->lookupTopicDescription("TypedDropped"), nullptr);
    }
    EXPECT_EQ((*dp_)->participant()->lookupTopicDescription("TypedDropped"), nullptr);
}

// Retained entities outlive their handles; at exit the registries let them go, children
// before their parents (the leak checker and ASan watch the process's end).
TEST(TypedLifetimes, retainedEveryKindIsLeftToProcessExit) {
    std::vector<std::weak_ptr<vexa::core::EntityDelegate>> watched;
    {
        DomainParticipant dp(apitest::DOMAIN);
        Family f(dp, "LeftToExit");
        f.watch(watched);
        f.topic.retain();
        f.pub.retain();
        f.sub.retain();
        f.writer.retain();
        f.reader.retain();
        dds::sub::builtin_subscriber(dp);
    }
    for (auto const& w : watched) {
        EXPECT_FALSE(w.expired());
    }
}

// Retain and close of typed handles from several threads at once (run under TSan).
TEST_F(TypedTest, retainAndCloseFromSeveralThreads) {
    dds::pub::Publisher pub(*dp_);
    std::vector<dds::pub::DataWriter<Keyed>> writers;
    for (int i = 0; i < 4; ++i) {
        writers.emplace_back(pub, *topic_);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&writers, t] {
            for (int i = 0; i < 20; ++i) {
                writers[t].retain();
            }
            writers[t].close();
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (auto const& w : writers) {
        EXPECT_EQ(vexa::core::dataWriterRetain.count(dds::pub::AnyDataWriter(w)), 0u);
    }
}

// A read condition's handler runs when a wait set dispatches it.
TEST_F(TypedTest, readConditionHandlerRunsOnDispatch) {
    dds::sub::Subscriber sub(*dp_);
    dds::sub::DataReader<Keyed> reader(sub, *topic_);
    int taken = 0;
    dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::any(), [&] {
        taken += static_cast<int>(reader.take().length());
    });
    WaitSet ws;
    ws += arrived;
    apitest::offer(reader->reader(), 6, 60);
    ws.dispatch(dds::core::Duration(5, 0));
    EXPECT_EQ(taken, 1);
}

TEST(DataState, statesKeepTheLowSixteenBits) {
    EXPECT_EQ(dds::sub::status::SampleState(0x10003u).to_ulong(), 3u);
    EXPECT_EQ(dds::sub::status::InstanceState::not_alive_mask().to_ulong(), 6u);
    dds::sub::status::DataState any;
    EXPECT_TRUE(any.view_state().all());
}

}  // namespace
