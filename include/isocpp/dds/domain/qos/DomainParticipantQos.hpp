#ifndef DDS_DOMAIN_QOS_DOMAINPARTICIPANTQOS_HPP
#define DDS_DOMAIN_QOS_DOMAINPARTICIPANTQOS_HPP

#include "dds/core/TEntityQos.hpp"
#include "vexa/domain/qos/DomainParticipantQosImpl.hpp"

namespace dds {
namespace domain {
namespace qos {

using DomainParticipantQos = ::dds::core::TEntityQos<vexa::domain::qos::DomainParticipantQosImpl>;

}  // namespace qos
}  // namespace domain
}  // namespace dds

#endif
