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

    static StatusMask none() { return StatusMask(0u); }
    static StatusMask all() { return StatusMask(0x7FFFu); }
    static StatusMask offered_deadline_missed() { return StatusMask(0x0002u); }
    static StatusMask requested_deadline_missed() { return StatusMask(0x0004u); }
    static StatusMask offered_incompatible_qos() { return StatusMask(0x0020u); }
    static StatusMask requested_incompatible_qos() { return StatusMask(0x0040u); }
    static StatusMask sample_lost() { return StatusMask(0x0080u); }
    static StatusMask sample_rejected() { return StatusMask(0x0100u); }
    static StatusMask data_available() { return StatusMask(0x0400u); }
    static StatusMask liveliness_lost() { return StatusMask(0x0800u); }
    static StatusMask liveliness_changed() { return StatusMask(0x1000u); }
    static StatusMask publication_matched() { return StatusMask(0x2000u); }
    static StatusMask subscription_matched() { return StatusMask(0x4000u); }
};

}  // namespace status
}  // namespace core
}  // namespace dds

#endif
