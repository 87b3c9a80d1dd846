#pragma once

namespace RTPS {

inline constexpr unsigned KEY_HASH_SIZE = 16;

// An all-zero key hash means that there is none.
inline bool keyHashEmpty(unsigned char const* hash) {
    for (unsigned i = 0; i < KEY_HASH_SIZE; ++i) {
        if (hash[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace RTPS
