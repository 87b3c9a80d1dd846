#include <gtest/gtest.h>

#include <vector>

#include "ProbeEntity.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/entity/TwoPassCollection.h"
#include "dcps/subscriber/SubscriberBuiltin.h"

using vexatest::ProbeEntity;

// A child of a disabled parent stays disabled until the parent's enable reaches it; a second
// enable changes nothing.
TEST(Entity, EnableFollowsTheParent) {
    ProbeEntity parent(1);
    ProbeEntity child(0x01000001, &parent);
    EXPECT_EQ(child.enable(), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_FALSE(child.isEnabled());
    EXPECT_EQ(child.enableChildsCalls, 0u);

    parent.child = &child;
    EXPECT_EQ(parent.enable(), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(parent.isEnabled());
    EXPECT_TRUE(child.isEnabled());
    EXPECT_EQ(parent.enableChildsCalls, 1u);

    EXPECT_EQ(parent.enable(), vexa::dds::RETCODE_OK);
    EXPECT_EQ(child.enable(), vexa::dds::RETCODE_OK);
    EXPECT_EQ(parent.enableChildsCalls, 1u);
    EXPECT_EQ(child.enableChildsCalls, 1u);
}

// The status condition follows the changed bits its mask selects.
TEST(Entity, StatusChangesDriveTheStatusCondition) {
    ProbeEntity e(1);
    vexa::dcps::StatusCondition& c = e.getStatusCondition();
    EXPECT_EQ(c.get_enabled_statuses(), 0x7FFFu);
    c.set_enabled_statuses(0x4);
    e.set_status_changes(0x1);
    EXPECT_FALSE(c.isTriggered());
    e.set_status_changes(0x4);
    EXPECT_TRUE(c.isTriggered());
    e.reset_status_changes(0x1);
    EXPECT_TRUE(c.isTriggered());  // 0x4 is still changed
    e.reset_status_changes(0x4);
    EXPECT_FALSE(c.isTriggered());
    EXPECT_EQ(e.get_status_changes(), 0u);
}

// Marked children become ready on one pass and are destroyed on the next; unmarked ones are
// visited, null entries skipped.
TEST(Entity, TwoPassCollection) {
    std::vector<ProbeEntity*> table = {nullptr, new ProbeEntity(1), new ProbeEntity(2)};
    ProbeEntity* deleted = table[1];
    deleted->markToDelete();
    unsigned visited = 0;
    auto visit = [&visited](ProbeEntity*) { ++visited; };

    vexa::dcps::collectTable(table, visit);
    EXPECT_EQ(table[1], deleted);
    EXPECT_TRUE(deleted->isReady());
    EXPECT_EQ(visited, 1u);

    vexa::dcps::collectTable(table, visit);
    EXPECT_EQ(table[1], nullptr);
    EXPECT_EQ(visited, 2u);
    delete table[2];
}

// The participant's own enable_childs: its built-in subscriber follows it.
TEST(Entity, ParticipantEnablesItsBuiltinSubscriber) {
    vexa::dcps::DomainParticipant dp(7, 1, vexa::dds::predefParticipantQos());
    dp.initBuiltinSubscriber();
    vexa::dcps::SubscriberBuiltin* builtin = dp.getBuiltinSubscriber();
    ASSERT_NE(builtin, nullptr);
    EXPECT_EQ(builtin->enable(), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_FALSE(builtin->isEnabled());
    EXPECT_EQ(dp.enable(), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(builtin->isEnabled());
}
