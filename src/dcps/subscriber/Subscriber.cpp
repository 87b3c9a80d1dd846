#include "dcps/subscriber/Subscriber.h"

#include "dcps/domain/DomainParticipant.h"

namespace vexa::dcps {

Subscriber::Subscriber(DomainParticipant* participant, int32_t id) : Entity(id, participant) {}

}  // namespace vexa::dcps
