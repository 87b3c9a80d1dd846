#include <gtest/gtest.h>

#include <set>

#include "CoreFixture.h"
#include "ThreadProbe.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/domain/RTPSCommunicationObject.h"

using vexa::dcps::DomainParticipant;
using vexatest::factory;
using vexatest::Failure;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;

namespace {

void destroyDeleted() {
    factory().collectGarbage();
    factory().collectGarbage();
}

}  // namespace

TEST(Factory, CreationHandsTheEngineItsArgumentsAndStartsLast) {
    DomainParticipant* dp = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    FakeParticipant* engine = FakeEngine::instance().newest();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->communicationObject(), dp->getCommunicationObject());
    EXPECT_EQ(engine->mode(), 0u);
    EXPECT_EQ(engine->domainId(), vexatest::testDomain());
    EXPECT_FALSE(engine->dsvcServer());
    EXPECT_TRUE(engine->started());
    auto const* key = reinterpret_cast<unsigned char const*>(engine->data().key.value);
    EXPECT_EQ(key[0], 0xAA);
    EXPECT_EQ(key[1], 0xAA);
    EXPECT_EQ(engine->data().key, dp->participantData().key);
    EXPECT_TRUE(dp->isEnabled());
    EXPECT_TRUE(dp->isHandlingData());
    factory().delete_participant(dp);
    destroyDeleted();
}

TEST(Factory, IdsAreNeverReused) {
    DomainParticipant* a = factory().createParticipant(vexatest::testDomain(), nullptr);
    DomainParticipant* b = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->DP_Id_, a->DP_Id_ + 1);
    factory().delete_participant(a);
    DomainParticipant* c = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->DP_Id_, b->DP_Id_ + 1);
    factory().delete_participant(b);
    factory().delete_participant(c);
    destroyDeleted();
}

TEST(Factory, DomainIdAbove229IsRefused) {
    EXPECT_EQ(factory().createParticipant(230, nullptr), nullptr);
    DomainParticipant* dp = factory().createParticipant(229, nullptr);
    ASSERT_NE(dp, nullptr);
    factory().delete_participant(dp);
    destroyDeleted();
}

// Every way the engine can fail leaves nothing behind: no participant, count as before.
TEST(Factory, EngineFailuresUndoCreation) {
    struct Case {
        char const* name;
        bool atStart;
        Failure how;
    } const cases[] = {
        {"create throws DDSIException", false, Failure::DDSI},
        {"create throws something else", false, Failure::Other},
        {"start throws DDSIException", true, Failure::DDSI},
        {"start throws something else", true, Failure::Other},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        size_t const threads = vexatest::settledThreadCount();
        int32_t const count = factory().participantCount();
        unsigned const liveEngines = static_cast<unsigned>(FakeEngine::instance().live().size());
        if (c.atStart) {
            FakeEngine::instance().failNextStart(c.how);
        } else {
            FakeEngine::instance().failNextCreate(c.how);
        }
        EXPECT_EQ(factory().createParticipant(vexatest::testDomain(), nullptr), nullptr);
        EXPECT_EQ(factory().participantCount(), count);
        EXPECT_EQ(FakeEngine::instance().live().size(), liveEngines);
        EXPECT_TRUE(vexatest::waitForThreadCount(threads, std::chrono::seconds(1)))
            << "a thread of the failed creation is left";
    }
    // The slot still works.
    DomainParticipant* dp = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    factory().delete_participant(dp);
    destroyDeleted();
}

// A deleted participant stays in its slot, marked, for one full pass; the engine participant
// goes at once.
TEST(Factory, DeletedParticipantIsDestroyedOnTheSecondPass) {
    DomainParticipant* dp = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    unsigned const destroyedBefore = FakeEngine::instance().destroyed();
    factory().delete_participant(dp);
    EXPECT_EQ(FakeEngine::instance().destroyed(), destroyedBefore + 1);
    EXPECT_TRUE(dp->isMarked());
    EXPECT_FALSE(dp->isHandlingData());
    EXPECT_EQ(factory().lookup_participant(vexatest::testDomain()), nullptr);
    factory().collectGarbage();
    EXPECT_TRUE(dp->isReady());        // still alive, in its slot
    factory().delete_participant(dp);  // already marked: ignored
    factory().collectGarbage();
}

TEST(Factory, CloseAnnouncesTheDeparture) {
    DomainParticipant* dp = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    FakeParticipant* engine = FakeEngine::instance().newest();
    vexatest::FakeWriter* writer = engine->builtinWriter(FakeParticipant::PARTICIPANT_WRITER);
    factory().delete_participant(dp);
    auto const changes = writer->changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].info.statusFlags, 6u);
    EXPECT_EQ(changes[0].info.instanceHandle, dp->DP_Id_);
    auto const& record = std::get<vexa::dds::ParticipantBuiltinTopicData>(changes[0].data);
    EXPECT_EQ(record.key, dp->participantData().key);
    destroyDeleted();
}

// A departure that the engine refuses still ends with the participant marked and its engine
// participant destroyed.
TEST(Factory, CloseGoesOnWhenTheDepartureThrows) {
    DomainParticipant* dp = factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    FakeParticipant* engine = FakeEngine::instance().newest();
    engine->builtinWriter(FakeParticipant::PARTICIPANT_WRITER)
        ->setAddResult(vexatest::FakeWriter::AddResult::Throw, Failure::Other);
    unsigned const destroyedBefore = FakeEngine::instance().destroyed();
    int32_t const count = factory().participantCount();
    factory().delete_participant(dp);
    EXPECT_TRUE(dp->isMarked());
    EXPECT_EQ(FakeEngine::instance().destroyed(), destroyedBefore + 1);
    EXPECT_EQ(factory().participantCount(), count - 1);
    EXPECT_EQ(dp->getRTPS(), nullptr);
    destroyDeleted();
}

TEST(Factory, GuidPrefixesNeverRepeat) {
    std::set<std::vector<uint32_t>> seen;
    for (int i = 0; i < 10000; ++i) {
        uint32_t key[3];
        vexa::dcps::DPFactory::getGUID12(key);
        EXPECT_TRUE(seen.insert({key[0], key[1], key[2]}).second) << i;
    }
}

TEST(Factory, TypeSupportRegistry) {
    auto* a = new vexatest::KeyedTypeSupport;
    auto* b = new vexatest::KeyedTypeSupport;
    vexa::dcps::TypeSupportCB* cb = factory().addTypeSupport("RegistryA", a);
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(a->typeSupportCB(), cb);
    EXPECT_EQ(factory().addTypeSupport("RegistryA", a), cb);       // same factory again
    EXPECT_EQ(factory().addTypeSupport("RegistryB", a), nullptr);  // bound under another name
    vexa::dcps::TypeSupportCB* other = factory().addTypeSupport("RegistryA", b);
    EXPECT_NE(other, cb);  // another factory object gets its own entry
    EXPECT_EQ(factory().getBuiltinTypeSupport("DCPSTopic")->typeName,
              "dds::topic::TopicBuiltinTopicData");
}

// Slot state is per factory: these tests use factories of their own.
TEST(FactorySlots, TenDomainsThenNoMore) {
    vexa::dcps::DPFactory f(0);
    // Looking up an unknown domain claims no slot.
    for (unsigned d = 100; d < 120; ++d) {
        EXPECT_EQ(f.lookup_participant(d), nullptr);
    }
    std::vector<DomainParticipant*> all;
    for (unsigned d = 0; d < 10; ++d) {
        DomainParticipant* dp = f.createParticipant(d, nullptr);
        ASSERT_NE(dp, nullptr) << d;
        all.push_back(dp);
    }
    EXPECT_EQ(f.createParticipant(10, nullptr), nullptr);
    for (DomainParticipant* dp : all) {
        f.delete_participant(dp);
    }
    EXPECT_EQ(f.createParticipant(10, nullptr), nullptr);
    EXPECT_FALSE(f.collectorRunning());  // period 0: no collector
}

// The collector runs while participants exist; each run is joined when the last one goes,
// and a later creation starts a new one.
TEST(FactorySlots, CollectorFollowsTheParticipantCount) {
    vexa::dcps::DPFactory f(1);
    for (int round = 0; round < 3; ++round) {
        DomainParticipant* dp = f.createParticipant(3, nullptr);
        ASSERT_NE(dp, nullptr);
        EXPECT_TRUE(f.collectorRunning());
        f.delete_participant(dp);
        EXPECT_FALSE(f.collectorRunning());
    }
}

// At exit the factory closes live participants before destroying them, so no engine thread
// is left calling into a destroyed object.
TEST(FactorySlots, DestructionClosesLiveParticipants) {
    unsigned const destroyedBefore = FakeEngine::instance().destroyed();
    {
        vexa::dcps::DPFactory f(1);
        ASSERT_NE(f.createParticipant(4, nullptr), nullptr);
        ASSERT_NE(f.createParticipant(4, nullptr), nullptr);
    }
    EXPECT_EQ(FakeEngine::instance().destroyed(), destroyedBefore + 2);
}
