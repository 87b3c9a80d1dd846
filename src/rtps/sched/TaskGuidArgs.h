#pragma once

#include <cstdint>
#include <cstring>

#include "rtps/wire/Guid.h"

namespace RTPS {

// Tasks that work for a remote endpoint carry its GUID in their two integer arguments and look
// the proxy up when they run, instead of keeping a pointer that may outlive the proxy.
struct TaskGuidArgs {
    uint64_t a2;
    uint64_t a3;
};

inline TaskGuidArgs guidToTaskArgs(GUID_t const& guid) {
    TaskGuidArgs args;
    std::memcpy(&args.a2, reinterpret_cast<uint8_t const*>(&guid), 8);
    std::memcpy(&args.a3, reinterpret_cast<uint8_t const*>(&guid) + 8, 8);
    return args;
}

inline GUID_t taskArgsToGuid(uint64_t a2, uint64_t a3) {
    GUID_t guid;
    std::memcpy(reinterpret_cast<uint8_t*>(&guid), &a2, 8);
    std::memcpy(reinterpret_cast<uint8_t*>(&guid) + 8, &a3, 8);
    return guid;
}

}  // namespace RTPS
