#include "rtps/discovery/EndpointsMatch.h"

#include <fnmatch.h>

namespace RTPS {

namespace {

// fnmatch with a pattern and a name: 0 is a match.
bool shellMatch(std::string const& pattern, std::string const& name) {
    return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

bool partitionsMatch(vexa::dds::StringSeq const& offered, vexa::dds::StringSeq const& requested) {
    if (offered.empty() || requested.empty()) {
        return true;
    }
    for (std::string const& p : offered) {
        bool const pPattern = isPartitionPattern(p);
        for (std::string const& s : requested) {
            if (!pPattern) {
                if (shellMatch(s, p)) {
                    return true;
                }
            } else if (!isPartitionPattern(s) && shellMatch(p, s)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool isPartitionPattern(std::string const& name) {
    return shellMatch("*[*?+!@\\[\\]]*", name);
}

bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const* publication,
                    vexa::dds::SubscriptionBuiltinTopicData const* subscription) {
    if (publication == nullptr || subscription == nullptr) {
        return false;
    }
    auto const& p = *publication;
    auto const& s = *subscription;
    return p.topic_name == s.topic_name && p.durability.kind >= s.durability.kind &&
           p.deadline.period <= s.deadline.period &&
           p.latency_budget.duration <= s.latency_budget.duration &&
           p.liveliness.kind >= s.liveliness.kind &&
           p.liveliness.lease_duration <= s.liveliness.lease_duration &&
           p.reliability.kind >= s.reliability.kind &&
           p.destination_order.kind >= s.destination_order.kind &&
           p.ownership.kind == s.ownership.kind &&
           partitionsMatch(p.partition.name, s.partition.name);
}

}  // namespace RTPS
