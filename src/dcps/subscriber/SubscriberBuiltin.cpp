#include "dcps/subscriber/SubscriberBuiltin.h"

#include "dcps/domain/DomainParticipant.h"

namespace vexa::dcps {

SubscriberBuiltin::SubscriberBuiltin(DomainParticipant* participant)
    : Entity(static_cast<int32_t>(entity_id::BUILTIN_SUBSCRIBER), participant) {}

}  // namespace vexa::dcps
