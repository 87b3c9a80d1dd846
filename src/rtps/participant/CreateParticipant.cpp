#include "rtps/participant/CreateParticipant.h"

#include "rtps/participant/DDSIException.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

Participant* createParticipant(void* reserved, CommunicationObject* communicationObject,
                               COMMUNICATION_MODE mode,
                               vexa::dds::ParticipantBuiltinTopicData* data, unsigned int domainId,
                               bool dsvcServer) {
    (void)reserved;
    if (communicationObject == nullptr) {
        throw BAD_PARAMETERS("Невернй коммуникационный объект");
    }
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные параметры участника домена");
    }
    if (domainId > MAX_DOMAIN_ID) {
        throw BAD_PARAMETERS("Слишком большой идентификатор домена (> 229)");
    }
    // An exception from the constructor passes to the caller after the participant has undone
    // what it built; `new` releases the memory.
    return new ParticipantImpl(communicationObject, mode, data, domainId, dsvcServer);
}

}  // namespace RTPS
