#ifndef DDS_SUB_QOS_DATAREADERQOS_HPP
#define DDS_SUB_QOS_DATAREADERQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/sub/qos/DataReaderQosImpl.hpp"

namespace dds {
namespace sub {
namespace qos {

using DataReaderQos = ::dds::core::TEntityQos<vexa::sub::qos::DataReaderQosImpl>;

}  // namespace qos
}  // namespace sub
}  // namespace dds

#endif
