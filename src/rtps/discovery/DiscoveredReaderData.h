#pragma once

#include "rtps/discovery/ReaderProxyInfo.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// A remote reader as discovery decoded it: its description, where it listens, and the
// content-filter block it announces (four text fields, carried unread).
struct DiscoveredReaderData {
    static constexpr unsigned CONTENT_FILTER_SIZE = 1024;

    vexa::dds::SubscriptionBuiltinTopicData subscriptionData;
    ReaderProxyInfo readerProxy;
    char contentFilter[CONTENT_FILTER_SIZE] = {};
};

}  // namespace RTPS
