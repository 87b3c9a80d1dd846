#ifndef DDS_PUB_QOS_DATAWRITERQOS_HPP
#define DDS_PUB_QOS_DATAWRITERQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/pub/qos/DataWriterQosImpl.hpp"

namespace dds {
namespace pub {
namespace qos {

using DataWriterQos = ::dds::core::TEntityQos<vexa::pub::qos::DataWriterQosImpl>;

}  // namespace qos
}  // namespace pub
}  // namespace dds

#endif
