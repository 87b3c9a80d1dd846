#ifndef VEXA_CORE_STATUS_CONVERTSTATUS_HPP
#define VEXA_CORE_STATUS_CONVERTSTATUS_HPP

// Fills an API status from the core's record, one overload per pair. The incompatible-QoS
// policy list is copied in the core's order, zero counts included.

#include "dds/core/status/Status.hpp"
#include "vexa/dds/Status.h"

namespace vexa {
namespace core {

void convertStatus(vexa::dds::LivelinessChangedStatus const& from,
                   ::dds::core::status::LivelinessChangedStatus& to);
void convertStatus(vexa::dds::LivelinessLostStatus const& from,
                   ::dds::core::status::LivelinessLostStatus& to);
void convertStatus(vexa::dds::SampleLostStatus const& from,
                   ::dds::core::status::SampleLostStatus& to);
void convertStatus(vexa::dds::SampleRejectedStatus const& from,
                   ::dds::core::status::SampleRejectedStatus& to);
void convertStatus(vexa::dds::DeadlineMissedStatus const& from,
                   ::dds::core::status::RequestedDeadlineMissedStatus& to);
void convertStatus(vexa::dds::DeadlineMissedStatus const& from,
                   ::dds::core::status::OfferedDeadlineMissedStatus& to);
void convertStatus(vexa::dds::SubscriptionMatchedStatus const& from,
                   ::dds::core::status::SubscriptionMatchedStatus& to);
void convertStatus(vexa::dds::PublicationMatchedStatus const& from,
                   ::dds::core::status::PublicationMatchedStatus& to);
void convertStatus(vexa::dds::IncompatibleQosStatus const& from,
                   ::dds::core::status::OfferedIncompatibleQosStatus& to);
void convertStatus(vexa::dds::IncompatibleQosStatus const& from,
                   ::dds::core::status::RequestedIncompatibleQosStatus& to);

}  // namespace core
}  // namespace vexa

#endif
