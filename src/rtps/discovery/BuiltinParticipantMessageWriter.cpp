#include "rtps/discovery/BuiltinParticipantMessageWriter.h"

#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/writer/ChangeHandle.h"

namespace RTPS {

BuiltinParticipantMessageWriter::BuiltinParticipantMessageWriter(
    Participant* participant, EndpointConfig const* config,
    vexa::dds::PublicationBuiltinTopicData const* description)
    : StatefulWriter(participant, config, description, TRANSPORT_PRIORITY) {
    registerDiscoveryRecordOps();
}

bool BuiltinParticipantMessageWriter::deleteChange(long handle) {
    SequenceNumber_t const sn = handleToSequence(handle);
    if (handle == 0 || sn.high < 0) {
        throw BAD_PARAMETERS("Неверный порядковый номер сэмпла");
    }
    withdrawChange(sn);
    return true;
}

}  // namespace RTPS
