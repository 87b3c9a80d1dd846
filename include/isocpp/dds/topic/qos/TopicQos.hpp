#ifndef DDS_TOPIC_QOS_TOPICQOS_HPP
#define DDS_TOPIC_QOS_TOPICQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/topic/qos/TopicQosImpl.hpp"

namespace dds {
namespace topic {
namespace qos {

using TopicQos = ::dds::core::TEntityQos<vexa::topic::qos::TopicQosImpl>;

}  // namespace qos
}  // namespace topic
}  // namespace dds

#endif
