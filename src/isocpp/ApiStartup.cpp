// Every load-time static of the API, in one translation unit so that their order is fixed:
// first the core's service with the built-in topics' type supports, then the retain
// registries, then the static default participant QoS (read from the service's factory). At
// exit they go in the reverse order, the service last.

#include <vector>

#include "RetainRegistry.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "vexa/domain/DomainParticipantDelegate.hpp"
#include "vexa/topic/BuiltinTopicTypeSupportFactoryTemplate.hpp"

namespace vexa {
namespace core {

// Builds the service (the first getInstance loads its settings and texts) and hands it the
// four built-in topics. Without a factory the service has already said why; every API entry
// then throws PreconditionNotMetError.
void initService() {
    std::vector<vexa::dcps::DPFactory::BuiltinTopicApiSupport_> rows{
        {"DCPSParticipant", "dds::topic::ParticipantBuiltinTopicData",
         vexa::topic::ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSTopic", "dds::topic::TopicBuiltinTopicData",
         vexa::topic::TopicBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData",
         vexa::topic::PublicationBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSSubscription", "dds::topic::SubscriptionBuiltinTopicData",
         vexa::topic::SubscriptionBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
    };
    vexa::dcps::DCPSservice& service = vexa::dcps::DCPSservice::getInstance();
    if (service.isReady() && service.getFactory() != nullptr) {
        service.getFactory()->initAPI(rows);
    }
}

namespace {

struct ServiceStart {
    ServiceStart() { initService(); }
};

ServiceStart const serviceStart;

}  // namespace

RetainRegistry<::dds::domain::DomainParticipant> domainParticipantRetain;
RetainRegistry<::dds::pub::Publisher> publisherRetain;
RetainRegistry<::dds::pub::AnyDataWriter> dataWriterRetain;
RetainRegistry<::dds::sub::Subscriber> subscriberRetain;
RetainRegistry<::dds::sub::AnyDataReader> dataReaderRetain;
RetainRegistry<::dds::topic::AnyTopic> topicRetain;

}  // namespace core
}  // namespace vexa

::dds::domain::qos::DomainParticipantQos
    vexa::domain::DomainParticipantDelegate::default_participant_qos_ =
        vexa::domain::DomainParticipantDelegate::init_default_participant_qos();
