#pragma once

#include "rtps/discovery/WriterProxyInfo.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// A writer as the publication topic announces it: its description and where it sends from.
struct DiscoveredWriterData {
    vexa::dds::PublicationBuiltinTopicData publicationData;
    WriterProxyInfo writerProxy;
};

}  // namespace RTPS
