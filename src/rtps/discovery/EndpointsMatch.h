#pragma once

#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// Whether a publication and a subscription may be matched: the one test every matching step
// of the engine uses. The first argument is always the publication side; null never matches.
//
// In order, the first failing test decides: equal topic names (type names are not compared);
// the publication's durability, liveliness, reliability and destination-order kinds at least
// the subscription's; its deadline, latency budget and liveliness lease at most the
// subscription's; equal ownership kinds; then the partitions. Either side without partitions
// matches any; otherwise a plain name of one side must match a shell pattern of the other (a
// name is a pattern when it holds one of * ? + ! @ [ ]), and two patterns never match.
bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const* publication,
                    vexa::dds::SubscriptionBuiltinTopicData const* subscription);

// Whether a partition name is a shell pattern in the sense above.
bool isPartitionPattern(std::string const& name);

}  // namespace RTPS
