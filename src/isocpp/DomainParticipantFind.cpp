#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dds/domain/DomainParticipant.hpp"
#include "vexa/core/Exception.hpp"

namespace dds {
namespace domain {

DomainParticipant find(uint32_t domain_id) {
    vexa::dcps::DCPSservice& service = vexa::dcps::DCPSservice::getInstance();
    vexa::dcps::DPFactory* factory = service.isReady() ? service.getFactory() : nullptr;
    if (factory == nullptr) {
        throw ::dds::core::PreconditionNotMetError(
            "Unable to resolve the DomainParticipant Factory at DPfind:28");
    }
    auto api = std::dynamic_pointer_cast<vexa::domain::DomainParticipantDelegate>(
        vexa::core::EntityDelegate::api_obj(factory->lookup_participant(domain_id)).lock());
    if (!api) {
        return DomainParticipant(::dds::core::null_type());
    }
    return DomainParticipant(api);
}

void ignore(DomainParticipant const&, ::dds::core::InstanceHandle const&) {
    throw ::dds::core::UnsupportedError("ignore not implemented currently at DPdiscovery:30");
}

}  // namespace domain
}  // namespace dds
