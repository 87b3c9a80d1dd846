#pragma once

#include "rtps/participant/CommunicationMode.h"

namespace vexa::dds {
struct ParticipantBuiltinTopicData;
}

namespace RTPS {

class CommunicationObject;
class Participant;

inline constexpr unsigned int MAX_DOMAIN_ID = 229;

// The engine's entry point. Checks, in this order, the communication object, the participant
// data and the domain id (at most MAX_DOMAIN_ID), throwing BAD_PARAMETERS for the first that is
// wrong. The caller owns the result and destroys it through Participant's virtual destructor.
// `reserved` is not used.
Participant* createParticipant(void* reserved, CommunicationObject* communicationObject,
                               COMMUNICATION_MODE mode,
                               vexa::dds::ParticipantBuiltinTopicData* data, unsigned int domainId,
                               bool dsvcServer);

}  // namespace RTPS
