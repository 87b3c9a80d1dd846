// A writer's instances and the road of its changes to the engine writer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "PublisherFixture.h"
#include "rtps/LogCapture.h"
#include "vexa/DataWriterImpl.h"

using vexa::dcps::Writer;
using vexa::dds::DataWriterQos;
using vexatest::FakeWriter;
using vexatest::KeyedSample;
using vexatest::KeylessSample;

namespace {

class WriterInstances : public vexatest::PublisherTest {
protected:
    vexa::dds::ReturnCode_t write(Writer* w, int32_t key,
                                  vexa::dds::InstanceHandle_t handle = vexa::dds::HANDLE_NIL) {
        KeyedSample s{key, 0};
        return pub_->write(w, &s, handle, nullptr);
    }
    vexa::dds::InstanceHandle_t registerKey(Writer* w, int32_t key) {
        KeyedSample s{key, 0};
        return pub_->registerInstance(w, &s, nullptr);
    }
};

}  // namespace

TEST_F(WriterInstances, OnlyARegisteredInstanceCanBeUnregistered) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS));
    ASSERT_EQ(write(w, 1), vexa::dds::RETCODE_OK);
    KeyedSample one{1, 0};
    KeyedSample two{2, 0};
    EXPECT_EQ(pub_->unregisterInstance(w, &one, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_BAD_PARAMETER);
    EXPECT_EQ(pub_->unregisterInstance(w, &two, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_BAD_PARAMETER);
    vexa::dds::InstanceHandle_t const h = registerKey(w, 1);
    EXPECT_GE(static_cast<uint32_t>(h), 0x40000001u);
    EXPECT_EQ(pub_->unregisterInstance(w, &one, h, nullptr), vexa::dds::RETCODE_OK);
    EXPECT_EQ(engineOf(w)->changes().back().info.statusFlags, 4u);
    EXPECT_EQ(w->liveInstances(), 0u);
    EXPECT_EQ(w->sampleCount(), 0u);  // its history went with it
    EXPECT_EQ(pub_->lookupInstance(&one, w), vexa::dds::HANDLE_NIL);
}

TEST_F(WriterInstances, AHandleTheWriterNeverIssuedIsRefused) {
    LogCapture log;
    Writer* w = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    Writer* sibling = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    vexa::dds::InstanceHandle_t const foreign = registerKey(sibling, 1);
    size_t const before = LogCapture::count("экземпляр не найден");
    EXPECT_EQ(write(w, 1, foreign), vexa::dds::RETCODE_OUT_OF_RESOURCES);
    EXPECT_EQ(write(w, 1, 0x40ABCDEF), vexa::dds::RETCODE_OUT_OF_RESOURCES);
    EXPECT_EQ(LogCapture::count("экземпляр не найден"), before + 2);
    EXPECT_TRUE(engineOf(w)->changes().empty());
    vexa::dds::InstanceHandle_t const own = registerKey(w, 1);
    EXPECT_EQ(write(w, 1, own), vexa::dds::RETCODE_OK);
}

// A handle resolves through the publisher's table, shared by its writers: only this writer's
// live instances count.
TEST_F(WriterInstances, KeyValueOnlyForTheWritersOwnLiveHandles) {
    Writer* w = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    Writer* sibling = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    // The sibling's handle names its slot 0, a slot w has too; and one beyond w's table.
    vexa::dds::InstanceHandle_t const foreign = registerKey(sibling, 9);
    vexa::dds::InstanceHandle_t const own = registerKey(w, 7);
    for (int k = 1; k <= 3; ++k) {
        registerKey(sibling, k);
    }
    vexa::dds::InstanceHandle_t const beyond = registerKey(sibling, 4);
    KeyedSample out{};
    EXPECT_EQ(pub_->getKeyValue(&out, own, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(out.key, 7);
    for (vexa::dds::InstanceHandle_t h : {foreign, beyond, 0x7FFFFFFF}) {
        out.key = -1;
        EXPECT_EQ(pub_->getKeyValue(&out, h, w), vexa::dds::RETCODE_BAD_PARAMETER) << h;
        EXPECT_EQ(out.key, -1) << h;
    }
    KeyedSample seven{7, 0};
    ASSERT_EQ(pub_->unregisterInstance(w, &seven, own, nullptr), vexa::dds::RETCODE_OK);
    EXPECT_EQ(pub_->getKeyValue(&out, own, w), vexa::dds::RETCODE_BAD_PARAMETER);
}

// Deleting a writer unregisters what it still has: with autodispose, instances not disposed
// yet go as unregistered and disposed (6); otherwise as unregistered (4).
TEST_F(WriterInstances, UnregisterAllFollowsTheAutodisposeRule) {
    struct Case {
        char const* name;
        bool keyed;
        bool autodispose;
        bool disposedFirst;
        uint32_t flags;
    } const cases[] = {
        {"keyed", true, false, false, 4},
        {"keyed autodispose", true, true, false, 6},
        {"keyed autodispose, disposed", true, true, true, 4},
        {"keyless", false, false, false, 4},
        {"keyless autodispose", false, true, false, 6},
    };
    for (Case const& c : cases) {
        DataWriterQos q = qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
        q.writer_data_lifecycle.autodispose_unregistered_instances = c.autodispose;
        Writer* w = create(q, c.keyed ? keyed_ : keyless_);
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        KeyedSample keyed{3, 1};
        KeylessSample keyless{1, "text"};
        void const* sample = c.keyed ? static_cast<void const*>(&keyed) : &keyless;
        ASSERT_EQ(pub_->write(w, sample, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
        if (c.disposedFirst) {
            ASSERT_EQ(pub_->dispose(w, sample, vexa::dds::HANDLE_NIL, nullptr),
                      vexa::dds::RETCODE_OK);
        }
        pub_->deleteDW(w->getBridge());
        auto const changes = engine->changes();
        ASSERT_FALSE(changes.empty()) << c.name;
        EXPECT_EQ(changes.back().info.statusFlags, c.flags) << c.name;
        EXPECT_EQ(changes.back().info.instanceHandle, changes.front().info.instanceHandle)
            << c.name;
        EXPECT_TRUE(engine->closed()) << c.name;
    }
}

// Deleting a writer whose histories are full: its unregistrations wait for room in the engine
// within max_blocking_time as writes do, and its own full history takes them; when no room
// comes the deletion returns TIMEOUT and logs how many instances were left.
TEST_F(WriterInstances, DeletingAFullWriterSendsItsUnregistrationsOrSaysWhy) {
    using namespace std::chrono_literals;
    LogCapture log;
    std::string const lost = "удалён, не отправив снятие с регистрации 2 экземпляров: код 10";
    struct Case {
        char const* name;
        vexa::dds::HistoryQosPolicyKind history;
        bool engineFull;
        bool roomComes;
        vexa::dds::Duration_t maxBlocking;
        vexa::dds::ReturnCode_t rc;
    } const cases[] = {
        {"engine full, room comes",
         vexa::dds::KEEP_LAST_HISTORY_QOS,
         true,
         true,
         {10, 0},
         vexa::dds::RETCODE_OK},
        {"engine full, no room",
         vexa::dds::KEEP_LAST_HISTORY_QOS,
         true,
         false,
         {0, 300000000},
         vexa::dds::RETCODE_TIMEOUT},
        {"own history full",
         vexa::dds::KEEP_ALL_HISTORY_QOS,
         false,
         false,
         {0, 300000000},
         vexa::dds::RETCODE_OK},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q =
            qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 2);
        q.history.kind = c.history;
        q.resource_limits.max_samples_per_instance = 2;
        q.reliability.max_blocking_time = c.maxBlocking;
        q.writer_data_lifecycle.autodispose_unregistered_instances = true;
        Writer* w = create(q);
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        for (int32_t key : {1, 1, 2, 2}) {
            ASSERT_EQ(write(w, key), vexa::dds::RETCODE_OK);
        }
        size_t const written = engine->changes().size();
        size_t const logged = LogCapture::count(lost);
        if (c.engineFull) {
            engine->blockAddsUntilAcknowledged(30s);
        }
        std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
        std::thread deleter([&] { rc = pub_->deleteDW(w->getBridge()); });
        if (c.roomComes) {
            ASSERT_TRUE(engine->waitAddBlocked(10s));
            engine->acknowledge();
        }
        deleter.join();
        EXPECT_EQ(rc.load(), c.rc);
        EXPECT_TRUE(w->isMarked());
        EXPECT_TRUE(engine->closed());
        auto const changes = engine->changes();
        if (c.rc == vexa::dds::RETCODE_OK) {
            ASSERT_EQ(changes.size(), written + 2);
            for (size_t i = written; i < changes.size(); ++i) {
                EXPECT_EQ(changes[i].info.statusFlags,
                          RTPS::SAMPLE_UNREGISTERED | RTPS::SAMPLE_DISPOSED);
            }
            EXPECT_NE(changes[written].info.instanceHandle,
                      changes[written + 1].info.instanceHandle);
            EXPECT_EQ(LogCapture::count(lost), logged);
        } else {
            EXPECT_EQ(changes.size(), written);
            EXPECT_EQ(LogCapture::count(lost), logged + 1);
        }
    }
}

TEST_F(WriterInstances, AKeylessTypeHasOneInstance) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS), keyless_);
    KeylessSample a{1, "a"};
    KeylessSample b{2, "bb"};
    ASSERT_EQ(pub_->write(w, &a, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
    ASSERT_EQ(pub_->write(w, &b, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
    vexa::dds::InstanceHandle_t const h = pub_->registerInstance(w, &b, nullptr);
    EXPECT_EQ(w->liveInstances(), 1u);
    EXPECT_EQ(pub_->lookupInstance(&a, w), h);
    auto const changes = engineOf(w)->changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].info.instanceHandle, h);
    EXPECT_EQ(changes[1].info.instanceHandle, h);
    EXPECT_EQ(vexa::dds::KeyHash_t{}, [&] {
        vexa::dds::KeyHash_t k;
        std::memcpy(k.hash, changes[0].info.keyHash, sizeof k.hash);
        return k;
    }());
    KeylessSample holder{5, "kept"};
    EXPECT_EQ(pub_->getKeyValue(&holder, h, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(holder.text, "kept");
}

TEST_F(WriterInstances, ARevivedSlotKeepsItsHandle) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS));
    vexa::dds::InstanceHandle_t const h = registerKey(w, 4);
    registerKey(w, 5);
    KeyedSample four{4, 0};
    ASSERT_EQ(pub_->unregisterInstance(w, &four, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_OK);
    ASSERT_EQ(write(w, 4), vexa::dds::RETCODE_OK);
    EXPECT_EQ(w->instances().size(), 2u);
    EXPECT_EQ(pub_->lookupInstance(&four, w), h);
    EXPECT_EQ(engineOf(w)->changes().back().info.instanceHandle, h);
    KeyedSample out{};
    EXPECT_EQ(pub_->getKeyValue(&out, h, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(out.key, 4);
}

TEST_F(WriterInstances, AVolatileWriterRemovesEachChangeItMade) {
    Writer* w = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    ASSERT_EQ(write(w, 1), vexa::dds::RETCODE_OK);
    KeyedSample s{1, 0};
    ASSERT_EQ(pub_->dispose(w, &s, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
    auto const changes = engineOf(w)->changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].info.statusFlags, 1u);
    EXPECT_EQ(changes[1].info.statusFlags, 2u);
    EXPECT_EQ(engineOf(w)->deleted(), (std::vector<long>{changes[0].handle, changes[1].handle}));
    // The change carries the instance's key hash and the packed sample.
    EXPECT_EQ(changes[0].info.keyHash[3], 1u);
    EXPECT_EQ(std::get<std::vector<uint8_t>>(changes[0].data).size(),
              vexatest::KeyedTypeSupport::PACKED_SIZE);
    EXPECT_EQ(w->sampleCount(), 0u);
}

TEST_F(WriterInstances, SendResults) {
    LogCapture log;
    uint8_t bytes[4] = {};
    struct Case {
        char const* name;
        bool null;
        FakeWriter::AddResult result;
        vexatest::Failure how;
        vexa::dds::ReturnCode_t rc;
        bool handleKept;
    } const cases[] = {
        {"no engine writer", true, FakeWriter::AddResult::Handle, vexatest::Failure::None,
         vexa::dds::RETCODE_ALREADY_DELETED, false},
        {"not taken", false, FakeWriter::AddResult::NotTaken, vexatest::Failure::None,
         vexa::dds::RETCODE_TIMEOUT, false},
        {"engine error", false, FakeWriter::AddResult::Throw, vexatest::Failure::DDSI,
         vexa::dds::RETCODE_ERROR, false},
        {"other exception", false, FakeWriter::AddResult::Throw, vexatest::Failure::Other,
         vexa::dds::RETCODE_ERROR, false},
        {"taken", false, FakeWriter::AddResult::Handle, vexatest::Failure::None,
         vexa::dds::RETCODE_OK, true},
    };
    for (Case const& c : cases) {
        FakeWriter engine(vexatest::RecordKind::User, false);
        engine.setAddResult(c.result, c.how);
        RTPS::SampleInfo info{};
        info.data = bytes;
        info.length = sizeof bytes;
        int64_t handle = 12345;
        EXPECT_EQ(pub_->sendRTPSmsg(c.null ? nullptr : &engine, info, handle), c.rc) << c.name;
        if (c.handleKept) {
            EXPECT_EQ(handle, engine.changes().back().handle) << c.name;
            EXPECT_NE(handle, 0xFFFFFFFF) << c.name;
        } else {
            EXPECT_EQ(handle, 0xFFFFFFFF) << c.name;
        }
    }
}

TEST_F(WriterInstances, RemovalResults) {
    struct Case {
        char const* name;
        bool null;
        FakeWriter::DeleteResult result;
        vexatest::Failure how;
        vexa::dds::ReturnCode_t rc;
    } const cases[] = {
        {"no engine writer", true, FakeWriter::DeleteResult::True, vexatest::Failure::None,
         vexa::dds::RETCODE_PRECONDITION_NOT_MET},
        {"removed", false, FakeWriter::DeleteResult::True, vexatest::Failure::None,
         vexa::dds::RETCODE_OK},
        {"refused", false, FakeWriter::DeleteResult::False, vexatest::Failure::None,
         vexa::dds::RETCODE_TIMEOUT},
        {"engine error", false, FakeWriter::DeleteResult::Throw, vexatest::Failure::DDSI,
         vexa::dds::RETCODE_ERROR},
        {"other exception", false, FakeWriter::DeleteResult::Throw, vexatest::Failure::Other,
         vexa::dds::RETCODE_ERROR},
    };
    for (Case const& c : cases) {
        FakeWriter engine(vexatest::RecordKind::User, false);
        engine.setDeleteResult(c.result, c.how);
        long const handle = static_cast<long>(FakeWriter::handleOf(0, 7));
        EXPECT_EQ(pub_->deleteRTPSmsg(c.null ? nullptr : &engine, handle), c.rc) << c.name;
        if (!c.null) {
            EXPECT_EQ(engine.deleted(), std::vector<long>{handle}) << c.name;
        }
    }
}

using WriterInstancesDeathTest = WriterInstances;

TEST_F(WriterInstancesDeathTest, CallerErrorsAreFatal) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    Writer* w = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
    vexa::dcps::Publisher* other = dp_->createPublisher(nullptr, nullptr, 0);
    KeyedSample s{1, 0};
    EXPECT_DEATH(pub_->write(w, nullptr, vexa::dds::HANDLE_NIL, nullptr), "instance_data");
    EXPECT_DEATH(other->write(w, &s, vexa::dds::HANDLE_NIL, nullptr),
                 "writer && \\(writer->getPublisher\\(\\) == this\\)");
    EXPECT_DEATH(pub_->dispose(nullptr, &s, vexa::dds::HANDLE_NIL, nullptr), "getPublisher");
}
