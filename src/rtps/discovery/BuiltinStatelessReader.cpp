#include "rtps/discovery/BuiltinStatelessReader.h"

#include "rtps/discovery/BuiltinChangeHandOff.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

BuiltinStatelessReader::BuiltinStatelessReader(
    ParticipantImpl* participant, EndpointConfig const* config,
    vexa::dds::SubscriptionBuiltinTopicData const* description,
    CommunicationObject* communicationObject, COMMUNICATION_MODE mode)
    : StatelessReader(participant, config, description, nullptr, communicationObject, mode),
      m_owner(participant) {}

CacheChange* BuiltinStatelessReader::addChange(CacheChange* change) {
    CacheChange* const kept = StatelessReader::addChange(change);
    return handToDirectory(m_owner->getDirectory(), BuiltinTopic::PARTICIPANT, kept, change);
}

unsigned int BuiltinStatelessReader::deleteChange(SampleInfo*) {
    return 0;
}

}  // namespace RTPS
