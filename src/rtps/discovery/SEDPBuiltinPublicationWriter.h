#pragma once

#include "rtps/discovery/SEDPAnnouncementWriter.h"

namespace RTPS {

// Announces the participant's writers (DCPSPublication): the sample is the core's
// PublicationBuiltinTopicData of a local writer, found by the first word of its key; the
// announced record adds the writer's GUID and locators.
class SEDPBuiltinPublicationWriter : public SEDPAnnouncementWriter {
public:
    using SEDPAnnouncementWriter::SEDPAnnouncementWriter;

    // BAD_PARAMETERS for a sample that is no publication description, for a writer the
    // participant does not have and for a record too large for one DATA.
    int64_t addChange(SampleInfo* sample) override;
};

}  // namespace RTPS
