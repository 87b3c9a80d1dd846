#ifndef DDS_CORE_POLICY_QOSPOLICYCOUNT_HPP
#define DDS_CORE_POLICY_QOSPOLICYCOUNT_HPP

// How often one policy was found incompatible; the incompatible-QoS statuses carry a list.

#include <cstdint>
#include <vector>

namespace dds {
namespace core {
namespace policy {

using QosPolicyId = int32_t;

class QosPolicyCount {
public:
    QosPolicyCount() = default;
    QosPolicyCount(QosPolicyId policy_id, int32_t count) : policy_id_(policy_id), count_(count) {}

    QosPolicyId policy_id() const { return policy_id_; }
    int32_t count() const { return count_; }

    bool operator==(QosPolicyCount const& other) const {
        return policy_id_ == other.policy_id_ && count_ == other.count_;
    }

private:
    QosPolicyId policy_id_ = 0;
    int32_t count_ = 0;
};

using QosPolicyCountSeq = std::vector<QosPolicyCount>;

}  // namespace policy
}  // namespace core
}  // namespace dds

#endif
