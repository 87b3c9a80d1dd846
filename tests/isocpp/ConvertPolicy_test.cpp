#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "dds/core/policy/CorePolicy.hpp"
#include "dds/core/policy/PolicyName.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/policy/ConvertPolicy.hpp"

namespace api = dds::core::policy;
namespace rec = vexa::dds;
using dds::core::Duration;
using vexa::core::policy::convertPolicy;

namespace {

struct Row {
    std::string name;
    std::function<void()> check;
};

void runRows(std::initializer_list<Row> rows) {
    for (auto const& r : rows) {
        SCOPED_TRACE(r.name);
        r.check();
    }
}

template <typename E>
E as(uint32_t v) {
    return static_cast<E>(v);
}

TEST(ConvertPolicy, CoreToApi) {
    runRows({
        {"durability kinds 0..2 kept, others persistent",
         [] {
             uint32_t const in[] = {0, 1, 2, 3, 7};
             uint32_t const out[] = {0, 1, 2, 3, 3};
             for (int i = 0; i < 5; ++i) {
                 api::Durability d;
                 convertPolicy(rec::DurabilityQosPolicy{as<rec::DurabilityQosPolicyKind>(in[i])},
                               d);
                 EXPECT_EQ(d.kind(), out[i]) << in[i];
             }
         }},
        {"presentation scope 0 kept, others topic; flags copied",
         [] {
             uint32_t const in[] = {0, 1, 2, 9};
             uint32_t const out[] = {0, 1, 1, 1};
             for (int i = 0; i < 4; ++i) {
                 api::Presentation p;
                 convertPolicy(
                     rec::PresentationQosPolicy{
                         as<rec::PresentationQosPolicyAccessScopeKind>(in[i]), true, false},
                     p);
                 EXPECT_EQ(p.access_scope(), out[i]) << in[i];
                 EXPECT_TRUE(p.coherent_access());
                 EXPECT_FALSE(p.ordered_access());
             }
         }},
        {"ownership and destination order: 0 kept, others 1",
         [] {
             api::Ownership o;
             convertPolicy(rec::OwnershipQosPolicy{as<rec::OwnershipQosPolicyKind>(5)}, o);
             EXPECT_EQ(o.kind(), api::OwnershipKind::EXCLUSIVE);
             convertPolicy(rec::OwnershipQosPolicy{rec::SHARED_OWNERSHIP_QOS}, o);
             EXPECT_EQ(o.kind(), api::OwnershipKind::SHARED);
             api::DestinationOrder d;
             convertPolicy(
                 rec::DestinationOrderQosPolicy{as<rec::DestinationOrderQosPolicyKind>(3)}, d);
             EXPECT_EQ(d.kind(), api::DestinationOrderKind::BY_SOURCE_TIMESTAMP);
         }},
        {"liveliness kinds 0, 1 kept, others by topic; lease copied",
         [] {
             api::Liveliness l;
             convertPolicy(rec::LivelinessQosPolicy{as<rec::LivelinessQosPolicyKind>(9), {3, 4}},
                           l);
             EXPECT_EQ(l.kind(), api::LivelinessKind::MANUAL_BY_TOPIC);
             EXPECT_EQ(l.lease_duration(), Duration(3, 4));
             convertPolicy(rec::LivelinessQosPolicy{rec::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS,
                                                    rec::DURATION_INFINITE},
                           l);
             EXPECT_EQ(l.kind(), api::LivelinessKind::MANUAL_BY_PARTICIPANT);
             EXPECT_TRUE(l.lease_duration().is_infinite());
         }},
        {"best effort leaves the API blocking time alone",
         [] {
             api::Reliability r(api::ReliabilityKind::RELIABLE, Duration(7, 0));
             convertPolicy(rec::ReliabilityQosPolicy{rec::BEST_EFFORT_RELIABILITY_QOS, {3, 0}}, r);
             EXPECT_EQ(r.kind(), api::ReliabilityKind::BEST_EFFORT);
             EXPECT_EQ(r.max_blocking_time(), Duration(7, 0));
         }},
        {"any other reliability kind is reliable with the time copied",
         [] {
             api::Reliability r;
             convertPolicy(rec::ReliabilityQosPolicy{as<rec::ReliabilityQosPolicyKind>(4), {0, 5}},
                           r);
             EXPECT_EQ(r.kind(), api::ReliabilityKind::RELIABLE);
             EXPECT_EQ(r.max_blocking_time(), Duration(0, 5));
         }},
        {"keep last copies the depth; keep all leaves the API depth",
         [] {
             api::History h(api::HistoryKind::KEEP_LAST, 3);
             convertPolicy(rec::HistoryQosPolicy{rec::KEEP_ALL_HISTORY_QOS, 7}, h);
             EXPECT_EQ(h.kind(), api::HistoryKind::KEEP_ALL);
             EXPECT_EQ(h.depth(), 3);
             convertPolicy(rec::HistoryQosPolicy{rec::KEEP_LAST_HISTORY_QOS, 5}, h);
             EXPECT_EQ(h.kind(), api::HistoryKind::KEEP_LAST);
             EXPECT_EQ(h.depth(), 5);
         }},
        {"durability service: history as History, the rest copied",
         [] {
             api::DurabilityService s;
             s.history_depth(4);
             convertPolicy(
                 rec::DurabilityServiceQosPolicy{{2, 0}, rec::KEEP_ALL_HISTORY_QOS, 9, 10, 11, 12},
                 s);
             EXPECT_EQ(s.service_cleanup_delay(), Duration(2, 0));
             EXPECT_EQ(s.history_kind(), api::HistoryKind::KEEP_ALL);
             EXPECT_EQ(s.history_depth(), 4);
             EXPECT_EQ(s.max_samples(), 10);
             EXPECT_EQ(s.max_instances(), 11);
             EXPECT_EQ(s.max_samples_per_instance(), 12);
         }},
        {"durations copied",
         [] {
             api::Deadline d;
             convertPolicy(rec::DeadlineQosPolicy{{1, 2}}, d);
             EXPECT_EQ(d.period(), Duration(1, 2));
             api::LatencyBudget lb;
             convertPolicy(rec::LatencyBudgetQosPolicy{{0, 9}}, lb);
             EXPECT_EQ(lb.duration(), Duration(0, 9));
             api::Lifespan ls;
             convertPolicy(rec::LifespanQosPolicy{{5, 0}}, ls);
             EXPECT_EQ(ls.duration(), Duration(5, 0));
             api::TimeBasedFilter t;
             convertPolicy(rec::TimeBasedFilterQosPolicy{{0, 100}}, t);
             EXPECT_EQ(t.minimum_separation(), Duration(0, 100));
             api::ReaderDataLifecycle r;
             convertPolicy(rec::ReaderDataLifecycleQosPolicy{{1, 0}, {2, 0}}, r);
             EXPECT_EQ(r.autopurge_nowriter_samples_delay(), Duration(1, 0));
             EXPECT_EQ(r.autopurge_disposed_samples_delay(), Duration(2, 0));
         }},
        {"a core duration with a whole second of nanoseconds is refused",
         [] {
             api::Deadline d;
             EXPECT_THROW(convertPolicy(rec::DeadlineQosPolicy{{1, 1000000000u}}, d),
                          dds::core::InvalidDataError);
         }},
        {"plain values and sequences copied",
         [] {
             api::UserData u;
             convertPolicy(rec::UserDataQosPolicy{{1, 2, 3}}, u);
             EXPECT_EQ(u.value(), (dds::core::ByteSeq{1, 2, 3}));
             api::Partition p;
             convertPolicy(rec::PartitionQosPolicy{{}}, p);
             EXPECT_TRUE(p.name().empty());
             convertPolicy(rec::PartitionQosPolicy{{"a", "b"}}, p);
             EXPECT_EQ(p.name(), (dds::core::StringSeq{"a", "b"}));
             api::ResourceLimits rl;
             convertPolicy(rec::ResourceLimitsQosPolicy{1, 2, 3}, rl);
             EXPECT_EQ(rl.max_samples_per_instance(), 3);
             api::OwnershipStrength os;
             convertPolicy(rec::OwnershipStrengthQosPolicy{-4}, os);
             EXPECT_EQ(os.value(), -4);
             api::WriterDataLifecycle w;
             convertPolicy(rec::WriterDataLifecycleQosPolicy{false}, w);
             EXPECT_FALSE(w.autodispose_unregistered_instances());
             api::EntityFactory f;
             convertPolicy(rec::EntityFactoryQosPolicy{false}, f);
             EXPECT_FALSE(f.autoenable_created_entities());
         }},
    });
}

TEST(ConvertPolicy, ApiToCore) {
    runRows({
        {"presentation is always topic scope",
         [] {
             for (auto scope : {api::PresentationAccessScopeKind::INSTANCE,
                                api::PresentationAccessScopeKind::GROUP}) {
                 rec::PresentationQosPolicy p;
                 convertPolicy(api::Presentation(scope, false, true), p);
                 EXPECT_EQ(p.access_scope, rec::TOPIC_PRESENTATION_QOS) << scope;
                 EXPECT_FALSE(p.coherent_access);
                 EXPECT_TRUE(p.ordered_access);
             }
         }},
        {"keep all becomes {1, 1}; keep last keeps its depth",
         [] {
             rec::HistoryQosPolicy h;
             convertPolicy(api::History(api::HistoryKind::KEEP_ALL, 9), h);
             EXPECT_EQ(h, (rec::HistoryQosPolicy{rec::KEEP_ALL_HISTORY_QOS, 1}));
             convertPolicy(api::History(api::HistoryKind::KEEP_LAST, 4), h);
             EXPECT_EQ(h, (rec::HistoryQosPolicy{rec::KEEP_LAST_HISTORY_QOS, 4}));
         }},
        {"durability service keeps the depth also for keep all",
         [] {
             rec::DurabilityServiceQosPolicy s;
             convertPolicy(
                 api::DurabilityService(Duration(1, 0), api::HistoryKind::KEEP_ALL, 9, 10, 11, 12),
                 s);
             EXPECT_EQ(s, (rec::DurabilityServiceQosPolicy{
                              {1, 0}, rec::KEEP_ALL_HISTORY_QOS, 9, 10, 11, 12}));
         }},
        {"reliability: any non-zero kind is reliable, time always copied",
         [] {
             rec::ReliabilityQosPolicy r;
             convertPolicy(api::Reliability(api::ReliabilityKind::BEST_EFFORT, Duration(0, 5)), r);
             EXPECT_EQ(r, (rec::ReliabilityQosPolicy{rec::BEST_EFFORT_RELIABILITY_QOS, {0, 5}}));
             convertPolicy(api::Reliability(as<api::ReliabilityKind::Type>(3), Duration(2, 0)), r);
             EXPECT_EQ(r, (rec::ReliabilityQosPolicy{rec::RELIABLE_RELIABILITY_QOS, {2, 0}}));
         }},
        {"kinds outside the list are mapped",
         [] {
             rec::DurabilityQosPolicy d;
             convertPolicy(api::Durability(as<api::DurabilityKind::Type>(9)), d);
             EXPECT_EQ(d.kind, rec::PERSISTENT_DURABILITY_QOS);
             convertPolicy(api::Durability(api::DurabilityKind::TRANSIENT), d);
             EXPECT_EQ(d.kind, rec::TRANSIENT_DURABILITY_QOS);
             rec::LivelinessQosPolicy l;
             convertPolicy(api::Liveliness(as<api::LivelinessKind::Type>(5), Duration(1, 0)), l);
             EXPECT_EQ(l, (rec::LivelinessQosPolicy{rec::MANUAL_BY_TOPIC_LIVELINESS_QOS, {1, 0}}));
             rec::OwnershipQosPolicy o;
             convertPolicy(api::Ownership(as<api::OwnershipKind::Type>(2)), o);
             EXPECT_EQ(o.kind, rec::EXCLUSIVE_OWNERSHIP_QOS);
             rec::DestinationOrderQosPolicy dst;
             convertPolicy(api::DestinationOrder(as<api::DestinationOrderKind::Type>(2)), dst);
             EXPECT_EQ(dst.kind, rec::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS);
         }},
        {"infinite durations stay infinite",
         [] {
             rec::ReaderDataLifecycleQosPolicy r;
             r.autopurge_nowriter_samples_delay = {1, 1};
             convertPolicy(api::ReaderDataLifecycle(), r);
             EXPECT_EQ(r.autopurge_nowriter_samples_delay, rec::DURATION_INFINITE);
             EXPECT_EQ(r.autopurge_disposed_samples_delay, rec::DURATION_INFINITE);
         }},
        {"sequences copied",
         [] {
             rec::PartitionQosPolicy p;
             convertPolicy(api::Partition(), p);
             EXPECT_EQ(p.name, (rec::StringSeq{""}));
             rec::GroupDataQosPolicy g;
             convertPolicy(api::GroupData(dds::core::ByteSeq{9, 8}), g);
             EXPECT_EQ(g.value, (rec::OctetSeq{9, 8}));
             rec::TopicDataQosPolicy t{{1}};
             convertPolicy(api::TopicData(), t);
             EXPECT_TRUE(t.value.empty());
         }},
    });
}

// The three byte policies share the copy; each throws its own text.
TEST(BytePolicies, RangesAndRefusals) {
    uint8_t const bytes[] = {1, 2, 3};
    uint8_t const* b = bytes;
    uint8_t const* e = bytes + 3;

    api::UserData u(b, e);
    EXPECT_EQ(u.value(), (dds::core::ByteSeq{1, 2, 3}));
    u.value(b + 1, b + 1);
    EXPECT_TRUE(u.value().empty());

    struct Refusal {
        std::string name;
        std::function<void()> op;
        std::string text;
    };
    std::string const at = " invalid pointer at policy/CorePolicy:";
    api::UserData keep(b, e);
    Refusal const cases[] = {
        {"user data ctor null begin", [&] { api::UserData(nullptr, e); },
         "dds::core::policy::UserData" + at + "66"},
        {"user data ctor reversed", [&] { api::UserData(e, b); },
         "dds::core::policy::UserData" + at + "66"},
        {"user data value null end", [&] { keep.value(b, nullptr); },
         "dds::core::policy::UserData" + at + "82"},
        {"user data value both null", [&] { keep.value(nullptr, nullptr); },
         "dds::core::policy::UserData" + at + "82"},
        {"user data value reversed", [&] { keep.value(e, b); },
         "dds::core::policy::UserData" + at + "82"},
        {"group data ctor", [&] { api::GroupData(e, b); },
         "dds::core::policy::GroupData" + at + "100"},
        {"group data value", [&] { api::GroupData().value(nullptr, e); },
         "dds::core::policy::GroupData" + at + "116"},
        {"topic data ctor", [&] { api::TopicData(b, nullptr); },
         "dds::core::policy::TopicData" + at + "136"},
        {"topic data value", [&] { api::TopicData().value(e, b); },
         "dds::core::policy::TopicData" + at + "152"},
    };
    for (auto const& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (dds::core::InvalidDataError const& x) {
            EXPECT_EQ(std::string(x.what()), c.text) << c.name;
        }
    }
    // A refused setter leaves the value as it was.
    EXPECT_EQ(keep.value(), (dds::core::ByteSeq{1, 2, 3}));
}

TEST(PolicyName, QuotedNames) {
    EXPECT_EQ(api::policy_name<api::UserData>::name(), "\"UserData\"");
    EXPECT_EQ(api::policy_name<api::UserData>::name().size(), 10u);
    EXPECT_EQ(api::policy_name<api::DurabilityService>::name(), "\"DurabilityService\"");
    EXPECT_EQ(api::policy_name<api::ReaderDataLifecycle>::name(), "\"ReaderDataLifecycle\"");
    EXPECT_EQ(api::policy_name<api::TopicData>::name(), "\"TopicData\"");
    EXPECT_EQ(&api::policy_name<api::History>::name(), &api::policy_name<api::History>::name());
}

}  // namespace
