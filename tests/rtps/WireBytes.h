#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Concatenates byte groups, so expected layouts read field by field.
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (Bytes const& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline Bytes le16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}
inline Bytes repeat(uint8_t b, size_t n) {
    return Bytes(n, b);
}
