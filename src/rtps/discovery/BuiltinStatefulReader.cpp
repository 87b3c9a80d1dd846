#include "rtps/discovery/BuiltinStatefulReader.h"

#include "rtps/discovery/BuiltinChangeHandOff.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

BuiltinStatefulReader::BuiltinStatefulReader(
    BuiltinTopic topic, ParticipantImpl* participant, EndpointConfig const* config,
    vexa::dds::SubscriptionBuiltinTopicData const* description,
    CommunicationObject* communicationObject, COMMUNICATION_MODE mode)
    : StatefulReader(participant, config, description, nullptr, communicationObject, mode),
      m_topic(topic),
      m_owner(participant) {}

CacheChange* BuiltinStatefulReader::addChange(CacheChange* change) {
    CacheChange* const kept = StatefulReader::addChange(change);
    return handToDirectory(m_owner->getDirectory(), m_topic, kept, change);
}

unsigned int BuiltinStatefulReader::deleteChange(SampleInfo*) {
    return 0;
}

}  // namespace RTPS
