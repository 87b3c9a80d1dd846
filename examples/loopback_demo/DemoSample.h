#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The demo's sample type, packed by hand the way generated pack code does it: CDR behind the
// 4-byte encapsulation header.
struct DemoSample {
    int32_t id = 0;
    std::string source;
    double value = 0;
    std::vector<uint8_t> blob;  // makes a sample large enough to travel in fragments

    std::vector<uint8_t> pack() const;
    // False for bytes that are not a whole sample.
    bool unpack(const uint8_t* data, uint64_t length);
};
