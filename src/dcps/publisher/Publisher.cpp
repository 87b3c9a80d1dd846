#include "dcps/publisher/Publisher.h"

#include "dcps/domain/DomainParticipant.h"

namespace vexa::dcps {

Publisher::Publisher(DomainParticipant* participant, int32_t id) : Entity(id, participant) {}

}  // namespace vexa::dcps
