#pragma once

// One discovery decoder on arbitrary bytes. Besides not crashing or over-reading, a record that
// decodes must pack (when it fits one DATA), and its packed form must decode and pack again to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

template <class Extract, class Pack>
int fuzzDiscoveryRecord(uint8_t const* data, size_t size, Extract extract, Pack pack) {
    auto record = extract(data, size);
    if (!record) {
        return 0;
    }
    std::vector<uint8_t> once;
    if (!pack(*record, once)) {
        return 0;
    }
    auto again = extract(once.data(), once.size());
    if (!again) {
        __builtin_trap();
    }
    std::vector<uint8_t> twice;
    if (!pack(*again, twice) || twice != once) {
        __builtin_trap();
    }
    return 0;
}
