#ifndef DDS_CORE_STATUS_STATUSMASK_HPP
#define DDS_CORE_STATUS_STATUSMASK_HPP

// Sixteen status bits, the same values as the core's status bits (vexa/dds/Status.h), so a mask
// passes between the API and the core unchanged. From an integer only the low 16 bits count.

#include <bitset>
#include <cstdint>

namespace dds {
namespace core {
namespace status {

class StatusMask : public std::bitset<16> {
public:
    using MaskType = std::bitset<16>;

    StatusMask() = default;
    explicit StatusMask(uint32_t mask) : MaskType(mask & 0xffffu) {}
    StatusMask(MaskType const& mask) : MaskType(mask) {}
};

}  // namespace status
}  // namespace core
}  // namespace dds

#endif
