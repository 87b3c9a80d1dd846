#pragma once

#include <vector>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"

namespace RTPS {

// Where a discovered remote writer sends from, as its publication announcement tells.
struct WriterProxyInfo {
    GUID_t remoteWriterGuid{};
    std::vector<Locator_t> unicastLocatorList;
    std::vector<Locator_t> multicastLocatorList;
};

}  // namespace RTPS
