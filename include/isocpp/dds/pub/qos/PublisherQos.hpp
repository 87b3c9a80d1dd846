#ifndef DDS_PUB_QOS_PUBLISHERQOS_HPP
#define DDS_PUB_QOS_PUBLISHERQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/pub/qos/PublisherQosImpl.hpp"

namespace dds {
namespace pub {
namespace qos {

using PublisherQos = ::dds::core::TEntityQos<vexa::pub::qos::PublisherQosImpl>;

}  // namespace qos
}  // namespace pub
}  // namespace dds

#endif
