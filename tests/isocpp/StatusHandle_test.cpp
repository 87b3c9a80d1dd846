#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/status/Status.hpp"
#include "vexa/core/status/ConvertStatus.hpp"

namespace st = dds::core::status;
using dds::core::InstanceHandle;

namespace {

TEST(StatusMask, KeepsTheLowSixteenBits) {
    EXPECT_EQ(st::StatusMask(0x12345u).to_ulong(), 0x2345u);
    EXPECT_EQ(st::StatusMask().to_ulong(), 0u);
    EXPECT_EQ(st::SampleRejectedState(0x30002u).to_ulong(), 0x0002u);
}

TEST(StatusMask, GetStatusBitTable) {
    struct Row {
        char const* name;
        st::StatusMask mask;
        unsigned long bit;
    };
    Row const rows[] = {
        {"inconsistent topic", st::get_status<st::InconsistentTopicStatus>(), 0x0001},
        {"offered deadline", st::get_status<st::OfferedDeadlineMissedStatus>(), 0x0002},
        {"requested deadline", st::get_status<st::RequestedDeadlineMissedStatus>(), 0x0004},
        {"offered incompatible", st::get_status<st::OfferedIncompatibleQosStatus>(), 0x0020},
        {"requested incompatible", st::get_status<st::RequestedIncompatibleQosStatus>(), 0x0040},
        {"sample lost", st::get_status<st::SampleLostStatus>(), 0x0080},
        {"sample rejected", st::get_status<st::SampleRejectedStatus>(), 0x0100},
        {"data on readers", st::get_status<st::DataOnReadersStatus>(), 0x0200},
        {"data available", st::get_status<st::DataAvailableStatus>(), 0x0400},
        {"liveliness lost", st::get_status<st::LivelinessLostStatus>(), 0x0800},
        {"liveliness changed", st::get_status<st::LivelinessChangedStatus>(), 0x1000},
        {"publication matched", st::get_status<st::PublicationMatchedStatus>(), 0x2000},
        {"subscription matched", st::get_status<st::SubscriptionMatchedStatus>(), 0x4000},
    };
    st::StatusMask all;
    for (auto const& r : rows) {
        EXPECT_EQ(r.mask.to_ulong(), r.bit) << r.name;
        all |= r.mask;
    }
    EXPECT_EQ(all.to_ulong(), 0x7FE7u);
}

// A writer's list comes in the core's fixed order with zero counts for the policies that never
// failed; the API shows the same list.
TEST(ConvertStatus, IncompatibleQosKeepsOrderAndZeroCounts) {
    vexa::dds::IncompatibleQosStatus core;
    core.total_count = 3;
    core.total_count_change = 1;
    core.last_policy_id = 11;
    for (int32_t id : {2, 4, 5, 8, 11, 12, 6, 3}) {
        core.policies.push_back({id, id == 11 ? 2 : (id == 4 ? 1 : 0)});
    }
    st::OfferedIncompatibleQosStatus offered;
    vexa::core::convertStatus(core, offered);
    EXPECT_EQ(offered.total_count(), 3);
    EXPECT_EQ(offered.total_count_change(), 1);
    EXPECT_EQ(offered.last_policy_id(), 11);
    ASSERT_EQ(offered.policies().size(), core.policies.size());
    for (size_t i = 0; i < core.policies.size(); ++i) {
        EXPECT_EQ(offered.policies()[i].policy_id(), core.policies[i].policy_id) << i;
        EXPECT_EQ(offered.policies()[i].count(), core.policies[i].count) << i;
    }

    // A second conversion into the same object replaces the list instead of appending.
    core.policies.resize(2);
    vexa::core::convertStatus(core, offered);
    EXPECT_EQ(offered.policies().size(), 2u);

    st::RequestedIncompatibleQosStatus requested;
    vexa::core::convertStatus(core, requested);
    EXPECT_EQ(requested.policies().size(), 2u);
}

TEST(ConvertStatus, CountersReasonAndHandles) {
    vexa::dds::SampleRejectedStatus rejected;
    rejected.total_count = 7;
    rejected.total_count_change = 2;
    rejected.last_reason = vexa::dds::REJECTED_BY_SAMPLES_LIMIT;
    rejected.last_instance_handle = 0x60100003;
    st::SampleRejectedStatus apiRejected;
    vexa::core::convertStatus(rejected, apiRejected);
    EXPECT_EQ(apiRejected.total_count(), 7);
    EXPECT_EQ(apiRejected.total_count_change(), 2);
    EXPECT_EQ(apiRejected.last_reason().to_ulong(), 2u);
    EXPECT_EQ(apiRejected.last_instance_handle()->handle(), 0x60100003);

    vexa::dds::PublicationMatchedStatus pm{5, 1, 4, -1, 0x08000002};
    st::PublicationMatchedStatus apiPm;
    vexa::core::convertStatus(pm, apiPm);
    EXPECT_EQ(apiPm.total_count(), 5);
    EXPECT_EQ(apiPm.total_count_change(), 1);
    EXPECT_EQ(apiPm.current_count(), 4);
    EXPECT_EQ(apiPm.current_count_change(), -1);
    EXPECT_EQ(apiPm.last_subscription_handle()->handle(), 0x08000002);

    vexa::dds::SubscriptionMatchedStatus sm{6, 2, 3, 1, 0x04000005};
    st::SubscriptionMatchedStatus apiSm;
    vexa::core::convertStatus(sm, apiSm);
    EXPECT_EQ(apiSm.current_count_change(), 1);
    EXPECT_EQ(apiSm.last_publication_handle()->handle(), 0x04000005);

    vexa::dds::LivelinessChangedStatus lc{1, 2, 3, 4, 0};
    st::LivelinessChangedStatus apiLc;
    vexa::core::convertStatus(lc, apiLc);
    EXPECT_EQ(apiLc.alive_count(), 1);
    EXPECT_EQ(apiLc.not_alive_count(), 2);
    EXPECT_EQ(apiLc.alive_count_change(), 3);
    EXPECT_EQ(apiLc.not_alive_count_change(), 4);

    vexa::dds::DeadlineMissedStatus dm{9, 8, -5};
    st::OfferedDeadlineMissedStatus apiOdm;
    st::RequestedDeadlineMissedStatus apiRdm;
    vexa::core::convertStatus(dm, apiOdm);
    vexa::core::convertStatus(dm, apiRdm);
    EXPECT_EQ(apiOdm.total_count(), 9);
    EXPECT_EQ(apiRdm.total_count_change(), 8);
    EXPECT_EQ(apiRdm.last_instance_handle()->handle(), -5);

    st::LivelinessLostStatus apiLl;
    vexa::core::convertStatus(vexa::dds::LivelinessLostStatus{11, 12}, apiLl);
    EXPECT_EQ(apiLl.total_count(), 11);
    EXPECT_EQ(apiLl.total_count_change(), 12);
    st::SampleLostStatus apiSl;
    vexa::core::convertStatus(vexa::dds::SampleLostStatus{13, 14}, apiSl);
    EXPECT_EQ(apiSl.total_count(), 13);
    EXPECT_EQ(apiSl.total_count_change(), 14);
}

TEST(InstanceHandle, OrdersAsSignedNumbersAndZeroIsNil) {
    std::vector<InstanceHandle> handles{InstanceHandle(0x40100001), InstanceHandle(1),
                                        InstanceHandle(int32_t(0x80000001u)),
                                        InstanceHandle(0x08000002)};
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(handles.front()->handle(), int32_t(0x80000001u));
    EXPECT_TRUE(InstanceHandle(int32_t(0x80000001u)) < InstanceHandle(1));
    EXPECT_TRUE(InstanceHandle(1) > InstanceHandle(int32_t(0xffffffffu)));

    EXPECT_TRUE(InstanceHandle().is_nil());
    EXPECT_TRUE(InstanceHandle(dds::core::null_type()).is_nil());
    EXPECT_FALSE(InstanceHandle(-1).is_nil());
    InstanceHandle h(42);
    EXPECT_EQ(h, InstanceHandle(42));
    EXPECT_NE(h, InstanceHandle(43));
    h = dds::core::null_type();
    EXPECT_TRUE(h.is_nil());
}

}  // namespace
