#pragma once

#include "rtps/discovery/ReaderProxyInfo.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// A reader as the subscription topic announces it: its description, where it listens, and the
// content-filter block (four text fields of 256 bytes, carried unread).
struct DiscoveredReaderData {
    static constexpr unsigned CONTENT_FILTER_SIZE = 1024;

    vexa::dds::SubscriptionBuiltinTopicData subscriptionData;
    ReaderProxyInfo readerProxy;
    char contentFilter[CONTENT_FILTER_SIZE] = {};
};

}  // namespace RTPS
