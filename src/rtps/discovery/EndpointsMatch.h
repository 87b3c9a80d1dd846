#pragma once

#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// Whether a publication and a subscription may be matched: the one test every matching step
// of the engine uses. The first argument is always the publication side; null never matches.
bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const* publication,
                    vexa::dds::SubscriptionBuiltinTopicData const* subscription);

}  // namespace RTPS
