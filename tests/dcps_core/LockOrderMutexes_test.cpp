// The lock-order checker as the core meets it: real core mutexes of each level, and the fake
// engine refusing calls made under the built-in subscriber's mutex. Builds with NDEBUG check
// nothing, so these tests skip there.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "dcps/lock/OrderedMutex.h"
#include "fake/FakeReader.h"
#include "fake/FakeWriter.h"
#include "rtps/participant/CreateParticipant.h"

using vexa::dcps::CoreMutex;
using vexa::dcps::CoreRecursiveMutex;
using vexa::dcps::JointLock;
using vexa::dcps::LockLevel;
using vexatest::FakeReader;
using vexatest::FakeWriter;
using vexatest::RecordKind;

namespace {

#ifdef NDEBUG
constexpr bool kChecked = false;
#else
constexpr bool kChecked = true;
#endif

struct Mutexes {
    CoreRecursiveMutex participant{LockLevel::Participant, "participant"};
    CoreRecursiveMutex otherParticipant{LockLevel::Participant, "other participant"};
    CoreRecursiveMutex publisher{LockLevel::Entity, "publisher"};
    CoreRecursiveMutex subscriber{LockLevel::Entity, "subscriber"};
    CoreRecursiveMutex builtin{LockLevel::Entity, "built-in subscriber", true};
    CoreMutex inputQueue{LockLevel::InputQueue, "input queue"};
    CoreMutex leaf{LockLevel::Leaf, "leaf"};
};

}  // namespace

TEST(LockOrderMutexesDeathTest, InversionsAbortWithBothNames) {
    if (!kChecked) {
        GTEST_SKIP() << "the checker is off without assertions";
    }
    struct Case {
        char const* name;
        std::function<void(Mutexes&)> take;
        char const* message;
    } const cases[] = {
        {"publisher, then its participant",
         [](Mutexes& m) {
             m.publisher.lock();
             m.participant.lock();
         },
         "taking \"participant\".*holding \"publisher\""},
        {"two entity-level mutexes without a participant",
         [](Mutexes& m) {
             m.publisher.lock();
             m.builtin.lock();
         },
         "taking \"built-in subscriber\".*holding \"publisher\""},
        {"input queue, then a subscriber",
         [](Mutexes& m) {
             m.inputQueue.lock();
             m.subscriber.lock();
         },
         "taking \"subscriber\".*holding \"input queue\""},
        {"a leaf, then anything",
         [](Mutexes& m) {
             m.leaf.lock();
             m.inputQueue.lock();
         },
         "taking \"input queue\".*holding \"leaf\""},
        {"a second participant",
         [](Mutexes& m) {
             m.participant.lock();
             m.otherParticipant.lock();
         },
         "taking \"other participant\".*holding \"participant\""},
        {"a plain mutex twice",
         [](Mutexes& m) {
             m.leaf.lock();
             m.leaf.lock();
         },
         "taking \"leaf\".*holding \"leaf\""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(
            {
                Mutexes m;
                c.take(m);
            },
            c.message);
    }
}

// What the core does every day passes: the participant first, then one or two of its
// entities (also as a joint lock), re-entry of a recursive mutex, then the lower levels.
TEST(LockOrderMutexes, TheCoreOrderPasses) {
    Mutexes m;
    {
        std::lock_guard<CoreRecursiveMutex> p(m.participant);
        std::lock_guard<CoreRecursiveMutex> again(m.participant);
        JointLock<CoreRecursiveMutex, CoreRecursiveMutex> both(m.publisher, m.builtin);
        std::lock_guard<CoreMutex> queue(m.inputQueue);
        std::lock_guard<CoreMutex> leaf(m.leaf);
        EXPECT_EQ(vexa::dcps::LockOrder::holdsMarked(), kChecked);
    }
    EXPECT_EQ(vexa::dcps::LockOrder::heldCount(), 0u);
}

// The engine half of the rule as the fake keeps it: under the built-in subscriber's mutex only
// reading and removing a built-in reader's change may reach the engine.
TEST(LockOrderMutexesDeathTest, FakeEngineRefusesCallsUnderTheBuiltinSubscriber) {
    if (!kChecked) {
        GTEST_SKIP() << "the checker is off without assertions";
    }
    struct Case {
        char const* name;
        std::function<void()> call;
    } const refused[] = {
        {"createParticipant",
         [] { RTPS::createParticipant(nullptr, nullptr, 0, nullptr, 0, false); }},
        {"Writer::assertLiveliness",
         [] {
             FakeWriter w(RecordKind::User, false);
             w.assertLiveliness();
         }},
        {"Writer::addChange",
         [] {
             FakeWriter w(RecordKind::User, false);
             uint8_t byte = 0;
             RTPS::SampleInfo info{};
             info.data = &byte;
             info.length = 1;
             w.addChange(&info);
         }},
        {"Reader::waitForHistoricalData",
         [] {
             FakeReader r(RecordKind::User, nullptr);
             r.waitForHistoricalData({0, 0});
         }},
        {"Reader::close",
         [] {
             FakeReader r(RecordKind::Participant, nullptr);
             r.close();
         }},
    };
    for (Case const& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(
            {
                CoreRecursiveMutex builtin(LockLevel::Entity, "built-in subscriber", true);
                std::lock_guard<CoreRecursiveMutex> lock(builtin);
                c.call();
            },
            std::string("built-in subscriber's mutex: ") + c.name);
    }

    // Allowed: the built-in reader's own history.
    FakeReader reader(RecordKind::Participant, nullptr);
    vexa::dds::ParticipantBuiltinTopicData record;
    unsigned const prefix[3] = {1, 2, 3};
    RTPS::SampleInfo* handle =
        reader.addHeldChange(RTPS::SampleInfo{}, &record, sizeof record, prefix, 0x100C7);
    CoreRecursiveMutex builtin(LockLevel::Entity, "built-in subscriber", true);
    std::lock_guard<CoreRecursiveMutex> lock(builtin);
    RTPS::SampleInfo out{};
    unsigned gotPrefix[3] = {};
    unsigned entity = 0;
    EXPECT_EQ(reader.getChange(handle, &gotPrefix, &entity, out), 1u);
    EXPECT_EQ(entity, 0x100C7u);
    reader.deleteChange(handle);
    EXPECT_EQ(reader.heldChanges(), 0u);
}
