#include "dcps/topic/TopicDescription.h"

#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/TypeSupportCB.h"

namespace vexa::dcps {

TopicDescription::TopicDescription(int32_t id, DomainParticipant* participant,
                                   TypeSupportCB* typeSupport, std::string name)
    : Entity(id, participant),
      typeSupport_(typeSupport),
      name_(std::move(name)),
      participant_(participant) {}

std::string const& TopicDescription::getTypeName() const {
    return typeSupport_->typeName;
}

}  // namespace vexa::dcps
