#pragma once

// The decoded discovery records, as the built-in writers announce them and the built-in
// readers store them. They own their strings and vectors: copy them by assignment.
#include "rtps/discovery/DiscoveredReaderData.h"
#include "rtps/discovery/DiscoveredTopicData.h"
#include "rtps/discovery/DiscoveredWriterData.h"
#include "rtps/discovery/ParticipantMessageData.h"
#include "rtps/discovery/SPDPdiscoveredParticipantData.h"
