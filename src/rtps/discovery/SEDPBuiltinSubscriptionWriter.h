#pragma once

#include "rtps/discovery/SEDPAnnouncementWriter.h"

namespace RTPS {

// Announces the participant's readers (DCPSSubscription): the sample is the core's
// SubscriptionBuiltinTopicData of a local reader, found by the first word of its key; the
// announced record adds the reader's GUID and locators and an empty content filter.
class SEDPBuiltinSubscriptionWriter : public SEDPAnnouncementWriter {
public:
    using SEDPAnnouncementWriter::SEDPAnnouncementWriter;

    // BAD_PARAMETERS for a sample that is no subscription description, for a reader the
    // participant does not have and for a record too large for one DATA.
    int64_t addChange(SampleInfo* sample) override;
};

}  // namespace RTPS
