#include <gtest/gtest.h>

#include "vexa/dds/Status.h"

using namespace vexa::dds;

// Each status owns one bit, and masks pass between the core and the API unchanged: a
// duplicated or shifted bit would deliver one status to the listener of another.
TEST(Status, EachStatusOwnsOneDistinctBit) {
    StatusMask const bits[] = {
        INCONSISTENT_TOPIC_STATUS,
        OFFERED_DEADLINE_MISSED_STATUS,
        REQUESTED_DEADLINE_MISSED_STATUS,
        OFFERED_INCOMPATIBLE_QOS_STATUS,
        REQUESTED_INCOMPATIBLE_QOS_STATUS,
        SAMPLE_LOST_STATUS,
        SAMPLE_REJECTED_STATUS,
        DATA_ON_READERS_STATUS,
        DATA_AVAILABLE_STATUS,
        LIVELINESS_LOST_STATUS,
        LIVELINESS_CHANGED_STATUS,
        PUBLICATION_MATCHED_STATUS,
        SUBSCRIPTION_MATCHED_STATUS,
    };
    StatusMask all = 0;
    for (StatusMask b : bits) {
        EXPECT_EQ(b & (b - 1), 0u) << std::hex << b << " is not a single bit";
        EXPECT_EQ(all & b, 0u) << std::hex << b << " is used twice";
        all |= b;
    }
    EXPECT_EQ(all, 0x7FE7u);
}
