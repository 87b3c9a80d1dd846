#ifndef VEXA_CORE_POLICY_COREPOLICYIMPL_HPP
#define VEXA_CORE_POLICY_COREPOLICYIMPL_HPP

// The values behind the dds::core::policy templates: the fields of the core's policy records
// with API durations and kinds. A default-constructed policy holds the API's default, which
// differs from the core's for the reliability blocking time ({0, 0}), the partition (one empty
// name) and the writer lifecycle (autodispose true).

#include <cstdint>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/core/policy/PolicyKind.hpp"
#include "dds/core/types.hpp"

namespace vexa {
namespace core {
namespace policy {

// The byte-sequence policies copy [begin, end); a null pointer or a reversed range throws
// InvalidDataError and leaves the value as it was.
class OctetPolicy {
public:
    ::dds::core::ByteSeq const& value() const { return value_; }
    void value(::dds::core::ByteSeq const& v) { value_ = v; }

protected:
    OctetPolicy() = default;
    explicit OctetPolicy(::dds::core::ByteSeq const& v) : value_(v) {}
    void assign(uint8_t const* begin, uint8_t const* end, char const* refusal);

    ::dds::core::ByteSeq value_;
};

class UserData : public OctetPolicy {
public:
    UserData() = default;
    explicit UserData(::dds::core::ByteSeq const& v) : OctetPolicy(v) {}
    UserData(uint8_t const* begin, uint8_t const* end);
    using OctetPolicy::value;
    void value(uint8_t const* begin, uint8_t const* end);
};

class GroupData : public OctetPolicy {
public:
    GroupData() = default;
    explicit GroupData(::dds::core::ByteSeq const& v) : OctetPolicy(v) {}
    GroupData(uint8_t const* begin, uint8_t const* end);
    using OctetPolicy::value;
    void value(uint8_t const* begin, uint8_t const* end);
};

class TopicData : public OctetPolicy {
public:
    TopicData() = default;
    explicit TopicData(::dds::core::ByteSeq const& v) : OctetPolicy(v) {}
    TopicData(uint8_t const* begin, uint8_t const* end);
    using OctetPolicy::value;
    void value(uint8_t const* begin, uint8_t const* end);
};

struct Durability {
    ::dds::core::policy::DurabilityKind::Type kind = ::dds::core::policy::DurabilityKind::VOLATILE;
};

struct DurabilityService {
    ::dds::core::Duration service_cleanup_delay;
    ::dds::core::policy::HistoryKind::Type history_kind =
        ::dds::core::policy::HistoryKind::KEEP_LAST;
    int32_t history_depth = 1;
    int32_t max_samples = -1;
    int32_t max_instances = -1;
    int32_t max_samples_per_instance = -1;
};

struct Presentation {
    ::dds::core::policy::PresentationAccessScopeKind::Type access_scope =
        ::dds::core::policy::PresentationAccessScopeKind::INSTANCE;
    bool coherent_access = false;
    bool ordered_access = false;
};

struct Deadline {
    ::dds::core::Duration period = ::dds::core::Duration::infinite();
};

struct LatencyBudget {
    ::dds::core::Duration duration;
};

struct Ownership {
    ::dds::core::policy::OwnershipKind::Type kind = ::dds::core::policy::OwnershipKind::SHARED;
};

struct OwnershipStrength {
    int32_t value = 0;
};

struct Liveliness {
    ::dds::core::policy::LivelinessKind::Type kind = ::dds::core::policy::LivelinessKind::AUTOMATIC;
    ::dds::core::Duration lease_duration = ::dds::core::Duration::infinite();
};

struct TimeBasedFilter {
    ::dds::core::Duration minimum_separation;
};

struct Partition {
    ::dds::core::StringSeq name{std::string()};
};

struct Reliability {
    ::dds::core::policy::ReliabilityKind::Type kind =
        ::dds::core::policy::ReliabilityKind::BEST_EFFORT;
    ::dds::core::Duration max_blocking_time;
};

struct DestinationOrder {
    ::dds::core::policy::DestinationOrderKind::Type kind =
        ::dds::core::policy::DestinationOrderKind::BY_RECEPTION_TIMESTAMP;
};

struct History {
    ::dds::core::policy::HistoryKind::Type kind = ::dds::core::policy::HistoryKind::KEEP_LAST;
    int32_t depth = 1;
};

struct ResourceLimits {
    int32_t max_samples = -1;
    int32_t max_instances = -1;
    int32_t max_samples_per_instance = -1;
};

struct TransportPriority {
    int32_t value = 0;
};

struct Lifespan {
    ::dds::core::Duration duration = ::dds::core::Duration::infinite();
};

struct EntityFactory {
    bool autoenable_created_entities = true;
};

struct WriterDataLifecycle {
    bool autodispose_unregistered_instances = true;
};

struct ReaderDataLifecycle {
    ::dds::core::Duration autopurge_nowriter_samples_delay = ::dds::core::Duration::infinite();
    ::dds::core::Duration autopurge_disposed_samples_delay = ::dds::core::Duration::infinite();
};

}  // namespace policy
}  // namespace core
}  // namespace vexa

#endif
