#pragma once

#include "rtps/writer/StatefulWriter.h"

namespace RTPS {

// Writes the participant's liveliness messages (tasks 10 and 11 of the participant). Each run
// withdraws the message it wrote before: deleteChange takes it out at once, acknowledged or
// not, so the history holds at most the current automatic and manual message and no reader
// proxy keeps entries of the old ones.
class BuiltinParticipantMessageWriter : public StatefulWriter {
public:
    static constexpr int32_t TRANSPORT_PRIORITY = 0x7FFFFFFF;

    BuiltinParticipantMessageWriter(Participant* participant, EndpointConfig const* config,
                                    vexa::dds::PublicationBuiltinTopicData const* description);

    // BAD_PARAMETERS for the handle 0 or a negative high part; otherwise true.
    bool deleteChange(long handle) override;
};

}  // namespace RTPS
