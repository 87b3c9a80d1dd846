#pragma once

#include <cstdint>

namespace RTPS {

// The last count of a HEARTBEAT, ACKNACK or NACK_FRAG stream taken from one peer. Counts are
// 32-bit and wrap, so "newer" is decided with serial-number arithmetic: a count is newer when
// it lies less than half the number space ahead of the last one taken. The first count of a
// stream is always taken, whatever its value, so that a peer whose counts are far along (we
// forgot it and it did not forget us) is heard at once.
//
// Not thread-safe: the owner's mutex guards it.
class ReceivedCount {
public:
    // Takes the count and returns true when it is newer than the last one taken.
    bool accept(uint32_t count) {
        if (m_any && static_cast<int32_t>(count - m_last) <= 0) {
            return false;
        }
        m_any = true;
        m_last = count;
        return true;
    }

private:
    uint32_t m_last = 0;
    bool m_any = false;
};

}  // namespace RTPS
