#include "rtps/discovery/EndpointsMatch.h"

namespace RTPS {

// Provisional: compares the topic names only. The QoS and partition tests of discovery replace
// this body; callers already go through this one function.
bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const* publication,
                    vexa::dds::SubscriptionBuiltinTopicData const* subscription) {
    if (publication == nullptr || subscription == nullptr) {
        return false;
    }
    return publication->topic_name == subscription->topic_name;
}

}  // namespace RTPS
