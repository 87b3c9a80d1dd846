// A writer's limits and histories: what it keeps per instance, what it gives up to make room,
// and how a full RELIABLE writer fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "PublisherFixture.h"
#include "rtps/LogCapture.h"

using vexa::dcps::Writer;
using vexa::dds::DataWriterQos;
using vexatest::FakeWriter;
using vexatest::KeyedSample;

namespace {

class WriterHistory : public vexatest::PublisherTest {
protected:
    vexa::dds::ReturnCode_t write(Writer* w, int32_t key, int32_t value,
                                  vexa::dds::Time_t const* ts = nullptr) {
        KeyedSample s{key, value};
        return pub_->write(w, &s, vexa::dds::HANDLE_NIL, ts);
    }
    // The change handles of an instance's history, oldest first.
    static std::vector<int64_t> history(Writer* w, size_t instance) {
        auto list = w->instances()[instance].samples;
        std::vector<int64_t> out;
        for (auto* s = list.oldest(); s != nullptr; s = list.nextSample(s)) {
            out.push_back(s->changeHandle);
        }
        return out;
    }
};

}  // namespace

// L = 1024 (DCPS.MAX_SAMPLES_PER_DW_LIMIT): QoS limits count only when real and below it.
TEST_F(WriterHistory, EffectiveLimits) {
    struct Case {
        char const* name;
        int32_t maxSamples, maxInstances, perInstance;
        vexa::dds::HistoryQosPolicyKind kind;
        int32_t depth;
        int32_t wantSamples, wantInstances, wantPerInstance, wantDepth, wantPrealloc;
    } const cases[] = {
        {"above the limit", 5000, -1, -1, vexa::dds::KEEP_LAST_HISTORY_QOS, 1, 1024, 1024, 1024, 1,
         1},
        {"zero", 0, 0, 0, vexa::dds::KEEP_LAST_HISTORY_QOS, 1, 1024, 1024, 1024, 1, 1},
        {"unlimited", -1, -1, -1, vexa::dds::KEEP_LAST_HISTORY_QOS, 5, 1024, 1024, 1024, 5, 5},
        {"instances capped by samples", 100, 500, 300, vexa::dds::KEEP_LAST_HISTORY_QOS, 1, 100,
         100, 100, 1, 1},
        {"depth capped by per instance", -1, 8, 4, vexa::dds::KEEP_LAST_HISTORY_QOS, 50, 1024, 8, 4,
         4, 4},
        {"keep all takes per instance", 200, -1, 20, vexa::dds::KEEP_ALL_HISTORY_QOS, 1, 200, 200,
         20, 20, 10},
        {"preallocation at most 10", -1, -1, -1, vexa::dds::KEEP_LAST_HISTORY_QOS, 30, 1024, 1024,
         1024, 30, 10},
    };
    for (Case const& c : cases) {
        DataWriterQos q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
        q.resource_limits = {c.maxSamples, c.maxInstances, c.perInstance};
        q.history = {c.kind, c.depth};
        Writer* w = create(q);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->maxSamples(), c.wantSamples) << c.name;
        EXPECT_EQ(w->maxInstances(), c.wantInstances) << c.name;
        EXPECT_EQ(w->maxSamplesPerInstance(), c.wantPerInstance) << c.name;
        EXPECT_EQ(w->depth(), c.wantDepth) << c.name;
        EXPECT_EQ(w->preallocation(), c.wantPrealloc) << c.name;
        // The engine holds one change more: a KEEP_LAST write sends before it replaces.
        EXPECT_EQ(engine_->writers().back().samples, c.wantSamples + 1) << c.name;
    }
}

// A KEEP_LAST history keeps at least one sample: a writer with a lower depth is not made.
TEST_F(WriterHistory, AKeepLastDepthBelowOneIsRefused) {
    for (int32_t depth : {0, -1}) {
        EXPECT_EQ(create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
                             vexa::dds::BEST_EFFORT_RELIABILITY_QOS, depth)),
                  nullptr)
            << depth;
    }
    DataWriterQos keepAll = qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
    keepAll.history = {vexa::dds::KEEP_ALL_HISTORY_QOS, 0};
    EXPECT_NE(create(keepAll), nullptr);
}

TEST_F(WriterHistory, DepthOneKeepsOneSampleAndReplacesIt) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS));
    ASSERT_EQ(write(w, 1, 10), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 1, 11), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 2, 20), vexa::dds::RETCODE_OK);
    ASSERT_EQ(w->instances().size(), 2u);
    EXPECT_TRUE(w->instances()[0].samples.singleMode());
    auto const changes = engineOf(w)->changes();
    ASSERT_EQ(changes.size(), 3u);
    // The second write dropped the first change and keeps its own.
    EXPECT_EQ(engineOf(w)->dropped(), std::vector<long>{changes[0].handle});
    EXPECT_TRUE(engineOf(w)->deleted().empty());
    EXPECT_EQ(history(w, 0), std::vector<int64_t>{changes[1].handle});
    EXPECT_EQ(w->sampleCount(), 2u);
}

TEST_F(WriterHistory, SamplesAreOrderedByTimestamp) {
    Writer* w = create(
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::BEST_EFFORT_RELIABILITY_QOS, 3));
    vexa::dds::Time_t const late{10, 0};
    vexa::dds::Time_t const early{5, 0};
    ASSERT_EQ(write(w, 1, 1, &late), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 1, 2, &early), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 1, 3, &late), vexa::dds::RETCODE_OK);  // equal: after the other
    auto const c = engineOf(w)->changes();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(history(w, 0), (std::vector<int64_t>{c[1].handle, c[0].handle, c[2].handle}));
    EXPECT_EQ(c[1].info.sourceTimestamp, early);
    // Full at depth 3: the oldest (the early one) goes first.
    ASSERT_EQ(write(w, 1, 4, &late), vexa::dds::RETCODE_OK);
    EXPECT_EQ(engineOf(w)->dropped(), std::vector<long>{c[1].handle});
}

TEST_F(WriterHistory, AnInstanceWithTwoSamplesGivesUpItsOldestToAFullWriter) {
    DataWriterQos q =
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 2);
    q.resource_limits.max_samples = 2;
    Writer* w = create(q);
    ASSERT_EQ(write(w, 1, 1), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 1, 2), vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 2, 1), vexa::dds::RETCODE_OK);
    auto const c = engineOf(w)->changes();
    EXPECT_EQ(engineOf(w)->dropped(), std::vector<long>{c[0].handle});
    EXPECT_EQ(history(w, 0), std::vector<int64_t>{c[1].handle});
    EXPECT_EQ(w->sampleCount(), 2u);
}

// A replaced sample goes from the engine at once, acknowledged or not (with KEEP_LAST a
// reader may lose it); otherwise a reader that does not acknowledge fills the engine's
// history and the writer waits. KEEP_ALL keeps what it gives up until it is acknowledged.
TEST_F(WriterHistory, KeepLastDropsWhatItReplacesAndKeepAllDoesNot) {
    using vexa::dds::KEEP_ALL_HISTORY_QOS;
    using vexa::dds::KEEP_LAST_HISTORY_QOS;
    using vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    using vexa::dds::VOLATILE_DURABILITY_QOS;
    struct Case {
        char const* name;
        vexa::dds::DurabilityQosPolicyKind durability;
        vexa::dds::HistoryQosPolicyKind kind;
        int32_t depth;
        bool drops;
    } const cases[] = {
        {"volatile keep last", VOLATILE_DURABILITY_QOS, KEEP_LAST_HISTORY_QOS, 1, true},
        {"volatile keep last 2", VOLATILE_DURABILITY_QOS, KEEP_LAST_HISTORY_QOS, 2, true},
        {"transient local keep last", TRANSIENT_LOCAL_DURABILITY_QOS, KEEP_LAST_HISTORY_QOS, 1,
         true},
        {"transient local keep last 2", TRANSIENT_LOCAL_DURABILITY_QOS, KEEP_LAST_HISTORY_QOS, 2,
         true},
        {"volatile keep all", VOLATILE_DURABILITY_QOS, KEEP_ALL_HISTORY_QOS, 1, false},
        {"transient local keep all", TRANSIENT_LOCAL_DURABILITY_QOS, KEEP_ALL_HISTORY_QOS, 1,
         false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q = qos(c.durability, vexa::dds::RELIABLE_RELIABILITY_QOS, c.depth);
        q.history.kind = c.kind;
        q.resource_limits.max_samples_per_instance = c.depth;
        Writer* w = create(q);
        // Two more than the depth: the first two are replaced.
        for (int32_t value = 1; value <= c.depth + 2; ++value) {
            ASSERT_EQ(write(w, 1, value), vexa::dds::RETCODE_OK);
        }
        ASSERT_EQ(write(w, 2, 1), vexa::dds::RETCODE_OK);  // another instance replaces nothing
        auto const changes = engineOf(w)->changes();
        ASSERT_EQ(changes.size(), static_cast<size_t>(c.depth) + 3);
        std::vector<long> const replaced{changes[0].handle, changes[1].handle};
        EXPECT_EQ(engineOf(w)->dropped(), c.drops ? replaced : std::vector<long>{});
        std::vector<long> const deleted = engineOf(w)->deleted();
        for (long h : replaced) {
            // Deleted (gone once acknowledged) unless dropped; a volatile writer deletes every
            // change it made.
            bool const wasDeleted = std::find(deleted.begin(), deleted.end(), h) != deleted.end();
            EXPECT_EQ(wasDeleted, !c.drops || c.durability == VOLATILE_DURABILITY_QOS);
        }
    }
}

// A KEEP_LAST write onto a full instance that the engine does not take (no room within
// max_blocking_time) leaves the instance's history and the engine as they were; the next
// write that goes through replaces the oldest.
TEST_F(WriterHistory, AFailedKeepLastWriteKeepsWhatItWouldHaveReplaced) {
    using namespace std::chrono_literals;
    struct Case {
        char const* name;
        int32_t depth;
        int32_t maxSamples;
    } const cases[] = {
        {"depth 1", 1, -1},
        {"depth 3", 3, -1},
        {"depth 2 at max_samples", 2, 2},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q = qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
                              vexa::dds::RELIABLE_RELIABILITY_QOS, c.depth);
        q.reliability.max_blocking_time = {0, 0};
        q.resource_limits.max_samples = c.maxSamples;
        Writer* w = create(q);
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        for (int32_t value = 1; value <= c.depth; ++value) {
            ASSERT_EQ(write(w, 1, value), vexa::dds::RETCODE_OK);
        }
        std::vector<int64_t> const before = history(w, 0);
        engine->blockAddsUntilAcknowledged(30s);
        EXPECT_EQ(write(w, 1, 100), vexa::dds::RETCODE_TIMEOUT);
        EXPECT_EQ(history(w, 0), before);
        EXPECT_EQ(w->sampleCount(), static_cast<uint32_t>(c.depth));
        EXPECT_TRUE(engine->dropped().empty());

        engine->acknowledge();
        ASSERT_EQ(write(w, 1, 101), vexa::dds::RETCODE_OK);
        EXPECT_EQ(engine->dropped(), std::vector<long>{static_cast<long>(before.front())});
        std::vector<int64_t> after = history(w, 0);
        ASSERT_EQ(after.size(), before.size());
        EXPECT_EQ(std::vector<int64_t>(after.begin(), after.end() - 1),
                  std::vector<int64_t>(before.begin() + 1, before.end()));
        EXPECT_EQ(after.back(), engine->changes().back().handle);
        pub_->deleteDW(w->getBridge());
    }
}

// Every instance holds one sample and the writer is full: when nothing makes room the write
// fails; a finite max_blocking_time of at least 1 ms is waited out first.
TEST_F(WriterHistory, FullReliableWriterFails) {
    LogCapture log;
    struct Case {
        char const* name;
        vexa::dds::Duration_t maxBlocking;
        std::chrono::milliseconds atLeast;
    } const cases[] = {
        {"0.5 ms does not block", {0, 500000}, std::chrono::milliseconds(0)},
        {"50 ms is waited out", {0, 50000000}, std::chrono::milliseconds(50)},
    };
    for (Case const& c : cases) {
        DataWriterQos q =
            qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 2);
        q.resource_limits.max_samples = 2;
        q.reliability.max_blocking_time = c.maxBlocking;
        q.lifespan.duration = {1, 0};
        Writer* w = create(q);
        ASSERT_EQ(write(w, 1, 1), vexa::dds::RETCODE_OK);
        ASSERT_EQ(write(w, 2, 1), vexa::dds::RETCODE_OK);
        size_t const before = LogCapture::count("история заполнена");
        auto const start = std::chrono::steady_clock::now();
        EXPECT_EQ(write(w, 1, 2), vexa::dds::RETCODE_OUT_OF_RESOURCES) << c.name;
        auto const took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, c.atLeast) << c.name;
        EXPECT_LT(took, std::chrono::seconds(5)) << c.name;
        EXPECT_EQ(LogCapture::count("история заполнена"), before + 1) << c.name;
        EXPECT_EQ(engineOf(w)->changes().size(), 2u) << c.name;
        EXPECT_EQ(w->sampleCount(), 2u) << c.name;
    }
}

// A write into a full history waits for room with no core mutex held: the discovery handlers
// get through meanwhile, and so does the data-handling tick, whose lifespan purge makes the
// room that lets the write go on, long before its max_blocking_time.
TEST_F(WriterHistory, AFullWriterWaitsForRoomThatAnotherThreadMakes) {
    LogCapture log;
    struct Case {
        char const* name;
        vexa::dds::Duration_t maxBlocking;
    } const cases[] = {
        {"10 s", {10, 0}},
        {"infinite", vexa::dds::DURATION_INFINITE},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q =
            qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 2);
        q.resource_limits.max_samples = 2;
        q.reliability.max_blocking_time = c.maxBlocking;
        q.lifespan.duration = {1, 0};
        Writer* w = create(q);
        ASSERT_EQ(write(w, 1, 1), vexa::dds::RETCODE_OK);
        ASSERT_EQ(write(w, 2, 1), vexa::dds::RETCODE_OK);
        size_t const before = LogCapture::count("история заполнена");
        std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
        std::thread writer([&] { rc = write(w, 1, 2); });
        // The write found the history full (it logs so before it waits).
        auto const limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (LogCapture::count("история заполнена") == before &&
               std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        {
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(dp_->getMutex());
            uint32_t const prefix[3] = {7, 7, 7};
            pub_->looseDR(w, prefix, 0x107);
        }
        advanceClock(1200000);
        std::thread([this] { dp_->periodicStatusCheck(); }).join();
        writer.join();
        EXPECT_EQ(rc.load(), vexa::dds::RETCODE_OK);
        auto const changes = engineOf(w)->changes();
        ASSERT_EQ(changes.size(), 3u);
        EXPECT_EQ(history(w, 0), std::vector<int64_t>{changes[2].handle});
        EXPECT_EQ(w->sampleCount(), 1u);
    }
}

TEST_F(WriterHistory, LifespanPurgesOutdatedSamples) {
    struct Case {
        char const* name;
        vexa::dds::Duration_t lifespan;
        size_t purged;
    } const cases[] = {
        {"one second", {1, 0}, 2},
        {"infinite", vexa::dds::DURATION_INFINITE, 0},
        {"huge but finite", {0x7FFFFFFF, 999999999}, 0},
        {"long", {3600, 0}, 0},
    };
    for (Case const& c : cases) {
        DataWriterQos q = qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
                              vexa::dds::BEST_EFFORT_RELIABILITY_QOS, 5);
        q.lifespan.duration = c.lifespan;
        Writer* w = create(q);
        ASSERT_EQ(write(w, 1, 1), vexa::dds::RETCODE_OK);
        ASSERT_EQ(write(w, 2, 1), vexa::dds::RETCODE_OK);
        advanceClock(600000);
        ASSERT_EQ(write(w, 1, 2), vexa::dds::RETCODE_OK);
        advanceClock(600000);
        pub_->periodicStatusCheckAndNotify(nullptr, 0);
        auto const changes = engineOf(w)->changes();
        EXPECT_EQ(engineOf(w)->deleted().size(), c.purged) << c.name;
        EXPECT_EQ(w->sampleCount(), 3u - c.purged) << c.name;
        if (c.purged == 2) {
            EXPECT_EQ(history(w, 0), std::vector<int64_t>{changes[2].handle});
        }
    }
}

TEST_F(WriterHistory, ARefusedRemovalEndsTheHistoryDeletion) {
    Writer* w = create(
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::BEST_EFFORT_RELIABILITY_QOS, 4));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(write(w, 1, i), vexa::dds::RETCODE_OK);
    }
    engineOf(w)->setDeleteResult(FakeWriter::DeleteResult::False);
    KeyedSample s{1, 0};
    EXPECT_EQ(pub_->dispose(w, &s, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
    // One removal tried and refused: all four samples stay, the oldest first.
    auto const c = engineOf(w)->changes();
    EXPECT_EQ(engineOf(w)->deleted(), std::vector<long>{c[0].handle});
    EXPECT_EQ(history(w, 0).size(), 4u);
    EXPECT_EQ(w->sampleCount(), 4u);
    EXPECT_EQ(w->instances()[0].lastChange(), 2u);
}
