#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rtps/discovery/EndpointsMatch.h"

using RTPS::endpointsMatch;
using RTPS::isPartitionPattern;
using vexa::dds::PublicationBuiltinTopicData;
using vexa::dds::SubscriptionBuiltinTopicData;

namespace {

// Both sides with every compared policy equal: a match.
PublicationBuiltinTopicData pub() {
    PublicationBuiltinTopicData p;
    p.topic_name = "Topic";
    p.type_name = "A";
    p.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    p.deadline.period = {2, 500};
    p.latency_budget.duration = {1, 10};
    p.liveliness.kind = vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    p.liveliness.lease_duration = {10, 0};
    p.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    p.destination_order.kind = vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    p.ownership.kind = vexa::dds::SHARED_OWNERSHIP_QOS;
    return p;
}

SubscriptionBuiltinTopicData sub() {
    SubscriptionBuiltinTopicData s;
    s.topic_name = "Topic";
    s.type_name = "A";
    s.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    s.deadline.period = {2, 500};
    s.latency_budget.duration = {1, 10};
    s.liveliness.kind = vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    s.liveliness.lease_duration = {10, 0};
    s.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    s.destination_order.kind = vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    s.ownership.kind = vexa::dds::SHARED_OWNERSHIP_QOS;
    return s;
}

}  // namespace

TEST(EndpointsMatch, QosTable) {
    using P = PublicationBuiltinTopicData;
    using S = SubscriptionBuiltinTopicData;
    struct Case {
        char const* rule;
        std::function<void(P&, S&)> change;
        bool match;
    };
    Case const cases[] = {
        {"equal policies match", [](P&, S&) {}, true},
        {"type names are not compared", [](P& p, S&) { p.type_name = "B"; }, true},
        {"topic names differ", [](P& p, S&) { p.topic_name = "Topic2"; }, false},
        {"topic name is a prefix", [](P& p, S&) { p.topic_name = "Topi"; }, false},
        {"durability 0 offered, 1 requested",
         [](P& p, S&) { p.durability.kind = vexa::dds::VOLATILE_DURABILITY_QOS; }, false},
        {"stronger durability offered",
         [](P& p, S&) { p.durability.kind = vexa::dds::PERSISTENT_DURABILITY_QOS; }, true},
        {"deadline one nanosecond longer",
         [](P& p, S&) {
             p.deadline.period = {2, 501};
         },
         false},
        {"deadline shorter",
         [](P& p, S&) {
             p.deadline.period = {1, 999999999};
         },
         true},
        {"deadline seconds compare signed",
         [](P& p, S&) {
             p.deadline.period = {-1, 0};
         },
         true},
        {"latency budget longer",
         [](P& p, S&) {
             p.latency_budget.duration = {1, 11};
         },
         false},
        {"liveliness kind weaker",
         [](P& p, S&) { p.liveliness.kind = vexa::dds::AUTOMATIC_LIVELINESS_QOS; }, false},
        {"liveliness kind stronger",
         [](P& p, S&) { p.liveliness.kind = vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS; }, true},
        {"lease longer",
         [](P& p, S&) {
             p.liveliness.lease_duration = {10, 1};
         },
         false},
        {"infinite lease against a finite one",
         [](P& p, S&) { p.liveliness.lease_duration = vexa::dds::DURATION_INFINITE; }, false},
        {"best effort offered, reliable requested",
         [](P& p, S&) { p.reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS; }, false},
        {"reliable offered, best effort requested",
         [](P&, S& s) { s.reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS; }, true},
        {"destination order weaker",
         [](P& p, S&) {
             p.destination_order.kind = vexa::dds::BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS;
         },
         false},
        {"ownership differs (exclusive offered)",
         [](P& p, S&) { p.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS; }, false},
        {"ownership differs (exclusive requested)",
         [](P&, S& s) { s.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS; }, false},
        {"presentation and lifespan take no part",
         [](P& p, S& s) {
             p.presentation.access_scope = vexa::dds::GROUP_PRESENTATION_QOS;
             s.presentation.coherent_access = true;
             p.lifespan.duration = {0, 1};
         },
         true},
    };
    for (Case const& c : cases) {
        P p = pub();
        S s = sub();
        c.change(p, s);
        EXPECT_EQ(endpointsMatch(&p, &s), c.match) << c.rule;
    }
    P const p = pub();
    S const s = sub();
    EXPECT_FALSE(endpointsMatch(nullptr, &s));
    EXPECT_FALSE(endpointsMatch(&p, nullptr));
}

TEST(EndpointsMatch, PartitionTable) {
    using List = std::vector<std::string>;
    struct Case {
        List offered;
        List requested;
        bool match;
    };
    Case const cases[] = {
        {{}, {}, true},
        {{}, {"X"}, true},
        {{"X"}, {}, true},
        {{"A*"}, {"ABC"}, true},
        {{"ABC"}, {"A*"}, true},
        {{"A*"}, {"A?"}, false},  // two patterns never match
        {{"A*"}, {"A*"}, false},
        {{"ABC"}, {"ABD"}, false},
        {{"ABC"}, {"ABC"}, true},
        {{"X", "Y"}, {"Z", "Y"}, true},
        {{"X", "Y"}, {"Z", "W"}, false},
        {{"B[0-9]"}, {"B7"}, true},
        {{"B[0-9]"}, {"BX"}, false},
        {{"X?"}, {"Z", "XY"}, true},
    };
    for (Case const& c : cases) {
        PublicationBuiltinTopicData p = pub();
        SubscriptionBuiltinTopicData s = sub();
        p.partition.name = c.offered;
        s.partition.name = c.requested;
        std::string const label = ::testing::PrintToString(c.offered) + " against " +
                                  ::testing::PrintToString(c.requested);
        EXPECT_EQ(endpointsMatch(&p, &s), c.match) << label;
    }
}

// The pattern test is fnmatch with "*[*?+!@\[\]]*": inside the brackets the backslashes only
// escape the brackets, so a backslash alone does not make a pattern.
TEST(EndpointsMatch, WhichPartitionNamesArePatterns) {
    struct Case {
        char const* name;
        bool pattern;
    };
    Case const cases[] = {
        {"plain", false}, {"", false},    {"a*", true},    {"?", true},  {"a+b", true},
        {"!x", true},     {"x@y", true},  {"[", true},     {"a]", true}, {"a\\b", false},
        {"a-b.c", false}, {"a^b", false}, {"a{b}", false},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(isPartitionPattern(c.name), c.pattern) << '"' << c.name << '"';
    }
}
