#include <gtest/gtest.h>

#include "dcps/lock/OrderedMutex.h"

using vexa::dcps::CoreMutex;
using vexa::dcps::CoreRecursiveMutex;
using vexa::dcps::LockLevel;
using vexa::dcps::LockOrder;

// The checker itself; builds without NDEBUG also run it inside every core mutex.
TEST(LockOrderDeathTest, TakingAgainstTheOrderAborts) {
    int a = 0, b = 0;
    EXPECT_DEATH(
        {
            LockOrder::acquire(&a, LockLevel::Entity, "subscriber", true, false);
            LockOrder::acquire(&b, LockLevel::Participant, "participant", true, false);
        },
        "taking \"participant\".*holding \"subscriber\"");
    EXPECT_DEATH(
        {
            LockOrder::acquire(&a, LockLevel::Leaf, "leaf one", false, false);
            LockOrder::acquire(&b, LockLevel::Leaf, "leaf two", false, false);
        },
        "leaf two");
    EXPECT_DEATH(
        {
            LockOrder::acquire(&a, LockLevel::Participant, "plain", false, false);
            LockOrder::acquire(&a, LockLevel::Participant, "plain", false, false);
        },
        "plain");
    // Two entity-level mutexes without the participant's.
    EXPECT_DEATH(
        {
            LockOrder::acquire(&a, LockLevel::Entity, "publisher", true, false);
            LockOrder::acquire(&b, LockLevel::Entity, "built-in subscriber", true, true);
        },
        "built-in subscriber");
}

TEST(LockOrder, AllowedPatterns) {
    int participant = 0, publisher = 0, builtin = 0, leaf = 0;
    LockOrder::acquire(&participant, LockLevel::Participant, "participant", true, false);
    LockOrder::acquire(&participant, LockLevel::Participant, "participant", true, false);
    LockOrder::acquire(&publisher, LockLevel::Entity, "publisher", true, false);
    LockOrder::acquire(&builtin, LockLevel::Entity, "built-in subscriber", true, true);
    EXPECT_TRUE(LockOrder::holdsMarked());
    // Back into the participant under the publisher (a publisher calling its participant).
    LockOrder::acquire(&participant, LockLevel::Participant, "participant", true, false);
    LockOrder::release(&participant);
    LockOrder::acquire(&leaf, LockLevel::Leaf, "leaf", false, false);
    EXPECT_EQ(LockOrder::heldCount(), 5u);
    // Re-entering a recursive mutex held already never waits, whatever came after it.
    LockOrder::acquire(&participant, LockLevel::Participant, "participant", true, false);
    LockOrder::release(&participant);
    LockOrder::release(&leaf);
    LockOrder::release(&builtin);
    EXPECT_FALSE(LockOrder::holdsMarked());
    LockOrder::release(&publisher);
    LockOrder::release(&participant);
    LockOrder::release(&participant);
    EXPECT_EQ(LockOrder::heldCount(), 0u);
}
