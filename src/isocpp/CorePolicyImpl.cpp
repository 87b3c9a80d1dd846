#include "vexa/core/policy/CorePolicyImpl.hpp"

#include "vexa/core/Exception.hpp"

namespace vexa {
namespace core {
namespace policy {

void OctetPolicy::assign(uint8_t const* begin, uint8_t const* end, char const* refusal) {
    if (begin == nullptr || end == nullptr || begin > end) {
        throw ::dds::core::InvalidDataError(refusal);
    }
    value_.assign(begin, end);
}

UserData::UserData(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::UserData invalid pointer at policy/CorePolicy:66");
}

void UserData::value(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::UserData invalid pointer at policy/CorePolicy:82");
}

GroupData::GroupData(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::GroupData invalid pointer at policy/CorePolicy:100");
}

void GroupData::value(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::GroupData invalid pointer at policy/CorePolicy:116");
}

TopicData::TopicData(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::TopicData invalid pointer at policy/CorePolicy:136");
}

void TopicData::value(uint8_t const* begin, uint8_t const* end) {
    assign(begin, end, "dds::core::policy::TopicData invalid pointer at policy/CorePolicy:152");
}

}  // namespace policy
}  // namespace core
}  // namespace vexa
