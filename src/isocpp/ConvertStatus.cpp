#include "vexa/core/status/ConvertStatus.hpp"

namespace vexa {
namespace core {

namespace {

void copyPolicies(vexa::dds::IncompatibleQosStatus const& from,
                  vexa::core::status::IncompatibleQosStatusImpl& to) {
    to.total_count = from.total_count;
    to.total_count_change = from.total_count_change;
    to.last_policy_id = from.last_policy_id;
    to.policies.clear();
    to.policies.reserve(from.policies.size());
    for (auto const& p : from.policies) {
        to.policies.emplace_back(p.policy_id, p.count);
    }
}

void copyDeadline(vexa::dds::DeadlineMissedStatus const& from,
                  vexa::core::status::DeadlineMissedStatusImpl& to) {
    to.total_count = from.total_count;
    to.total_count_change = from.total_count_change;
    to.last_instance_handle = ::dds::core::InstanceHandle(from.last_instance_handle);
}

}  // namespace

void convertStatus(vexa::dds::LivelinessChangedStatus const& from,
                   ::dds::core::status::LivelinessChangedStatus& to) {
    auto& d = to.delegate();
    d.alive_count = from.alive_count;
    d.not_alive_count = from.not_alive_count;
    d.alive_count_change = from.alive_count_change;
    d.not_alive_count_change = from.not_alive_count_change;
}

void convertStatus(vexa::dds::LivelinessLostStatus const& from,
                   ::dds::core::status::LivelinessLostStatus& to) {
    to.delegate().total_count = from.total_count;
    to.delegate().total_count_change = from.total_count_change;
}

void convertStatus(vexa::dds::SampleLostStatus const& from,
                   ::dds::core::status::SampleLostStatus& to) {
    to.delegate().total_count = from.total_count;
    to.delegate().total_count_change = from.total_count_change;
}

void convertStatus(vexa::dds::SampleRejectedStatus const& from,
                   ::dds::core::status::SampleRejectedStatus& to) {
    auto& d = to.delegate();
    d.total_count = from.total_count;
    d.total_count_change = from.total_count_change;
    d.last_reason =
        ::dds::core::status::SampleRejectedState(static_cast<uint32_t>(from.last_reason));
    d.last_instance_handle = ::dds::core::InstanceHandle(from.last_instance_handle);
}

void convertStatus(vexa::dds::DeadlineMissedStatus const& from,
                   ::dds::core::status::RequestedDeadlineMissedStatus& to) {
    copyDeadline(from, to.delegate());
}

void convertStatus(vexa::dds::DeadlineMissedStatus const& from,
                   ::dds::core::status::OfferedDeadlineMissedStatus& to) {
    copyDeadline(from, to.delegate());
}

void convertStatus(vexa::dds::SubscriptionMatchedStatus const& from,
                   ::dds::core::status::SubscriptionMatchedStatus& to) {
    auto& d = to.delegate();
    d.total_count = from.total_count;
    d.total_count_change = from.total_count_change;
    d.current_count = from.current_count;
    d.current_count_change = from.current_count_change;
    d.last_publication_handle = ::dds::core::InstanceHandle(from.last_publication_handle);
}

void convertStatus(vexa::dds::PublicationMatchedStatus const& from,
                   ::dds::core::status::PublicationMatchedStatus& to) {
    auto& d = to.delegate();
    d.total_count = from.total_count;
    d.total_count_change = from.total_count_change;
    d.current_count = from.current_count;
    d.current_count_change = from.current_count_change;
    d.last_subscription_handle = ::dds::core::InstanceHandle(from.last_subscription_handle);
}

void convertStatus(vexa::dds::IncompatibleQosStatus const& from,
                   ::dds::core::status::OfferedIncompatibleQosStatus& to) {
    copyPolicies(from, to.delegate());
}

void convertStatus(vexa::dds::IncompatibleQosStatus const& from,
                   ::dds::core::status::RequestedIncompatibleQosStatus& to) {
    copyPolicies(from, to.delegate());
}

}  // namespace core
}  // namespace vexa
