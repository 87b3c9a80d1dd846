#pragma once

#include <cstdint>
#include <memory>

namespace RTPS {

// A block lent by the UserInputBufferPool: a writer keeps a sample's serialized bytes in it
// while the change is in its history.
struct UserInputBuffer {
    std::unique_ptr<uint8_t[]> data;
    uint64_t capacity = 0;  // bytes in data
};

}  // namespace RTPS
