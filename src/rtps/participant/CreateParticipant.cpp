#include "rtps/participant/CreateParticipant.h"

#include "rtps/participant/DDSIException.h"

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
    (void)mode;
    (void)dsvcServer;
    // TODO(participant): construct the participant here, e.g.
    //   return new ParticipantImpl(communicationObject, mode, data, domainId, dsvcServer);
    // An exception from its constructor passes to the caller; `new` releases the memory.
    throw GENERAL_DDSI_ERROR("Участник домена не может быть создан: движок RTPS не собран");
}

}  // namespace RTPS
