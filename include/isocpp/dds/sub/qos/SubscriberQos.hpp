#ifndef DDS_SUB_QOS_SUBSCRIBERQOS_HPP
#define DDS_SUB_QOS_SUBSCRIBERQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/sub/qos/SubscriberQosImpl.hpp"

namespace dds {
namespace sub {
namespace qos {

using SubscriberQos = ::dds::core::TEntityQos<vexa::sub::qos::SubscriberQosImpl>;

}  // namespace qos
}  // namespace sub
}  // namespace dds

#endif
