#ifndef VEXA_CORE_CONVERTQOS_HPP
#define VEXA_CORE_CONVERTQOS_HPP

// Entity QoS between the API and the core, policy by policy in a fixed order per entity. The
// reader's core record has no DurabilityService, TransportPriority or Lifespan: converting
// towards the core drops them, converting back leaves the API object's values as they were.
// Towards the API a bad core duration throws InvalidDataError, leaving the policies converted
// before it changed.

#include "dds/domain/qos/DomainParticipantQos.hpp"
#include "dds/pub/qos/DataWriterQos.hpp"
#include "dds/pub/qos/PublisherQos.hpp"
#include "dds/sub/qos/DataReaderQos.hpp"
#include "dds/sub/qos/SubscriberQos.hpp"
#include "dds/topic/qos/TopicQos.hpp"
#include "vexa/dds/EntityQos.h"

namespace vexa {
namespace domain {
namespace qos {
void convertQos(vexa::dds::DomainParticipantQos const& from,
                ::dds::domain::qos::DomainParticipantQos& to);
void convertQos(::dds::domain::qos::DomainParticipantQos const& from,
                vexa::dds::DomainParticipantQos& to);
}  // namespace qos
}  // namespace domain

namespace topic {
namespace qos {
void convertQos(vexa::dds::TopicQos const& from, ::dds::topic::qos::TopicQos& to);
void convertQos(::dds::topic::qos::TopicQos const& from, vexa::dds::TopicQos& to);
}  // namespace qos
}  // namespace topic

namespace pub {
namespace qos {
void convertQos(vexa::dds::PublisherQos const& from, ::dds::pub::qos::PublisherQos& to);
void convertQos(::dds::pub::qos::PublisherQos const& from, vexa::dds::PublisherQos& to);
void convertQos(vexa::dds::DataWriterQos const& from, ::dds::pub::qos::DataWriterQos& to);
void convertQos(::dds::pub::qos::DataWriterQos const& from, vexa::dds::DataWriterQos& to);
}  // namespace qos
}  // namespace pub

namespace sub {
namespace qos {
void convertQos(vexa::dds::SubscriberQos const& from, ::dds::sub::qos::SubscriberQos& to);
void convertQos(::dds::sub::qos::SubscriberQos const& from, vexa::dds::SubscriberQos& to);
void convertQos(vexa::dds::DataReaderQos const& from, ::dds::sub::qos::DataReaderQos& to);
void convertQos(::dds::sub::qos::DataReaderQos const& from, vexa::dds::DataReaderQos& to);
}  // namespace qos
}  // namespace sub
}  // namespace vexa

#endif
