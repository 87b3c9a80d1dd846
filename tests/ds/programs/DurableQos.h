#pragma once

// The policies both test programs give the durable topic and its endpoints: TRANSIENT,
// reliable, KEEP_ALL, and a durability-service history that keeps everything.
#include "Durable_DCPS.hpp"

namespace durabletest {

template <typename Qos>
void makeDurable(Qos& qos) {
    using namespace dds::core::policy;
    qos.policy(Durability(DurabilityKind::TRANSIENT));
    qos.policy(Reliability(ReliabilityKind::RELIABLE, dds::core::Duration(5, 0)));
    qos.policy(History(HistoryKind::KEEP_ALL, 1));
    qos.policy(DurabilityService()
                   .service_cleanup_delay(dds::core::Duration(0, 0))
                   .history_kind(HistoryKind::KEEP_ALL)
                   .history_depth(1)
                   .max_samples(-1)
                   .max_instances(-1)
                   .max_samples_per_instance(-1));
}

inline dds::topic::Topic<Durable::Stamp> durableTopic(dds::domain::DomainParticipant& dp) {
    dds::topic::qos::TopicQos qos = dp.default_topic_qos();
    makeDurable(qos);
    return dds::topic::Topic<Durable::Stamp>(dp, "Stamps", qos);
}

}  // namespace durabletest
