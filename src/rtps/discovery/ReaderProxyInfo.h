#pragma once

#include <vector>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"

namespace RTPS {

// Where a discovered remote reader listens, as its subscription announcement tells.
struct ReaderProxyInfo {
    GUID_t remoteReaderGuid{};
    bool expectsInlineQos = false;
    std::vector<Locator_t> unicastLocatorList;
    std::vector<Locator_t> multicastLocatorList;
};

}  // namespace RTPS
