#ifndef DDS_CORE_POLICY_COREPOLICY_HPP
#define DDS_CORE_POLICY_COREPOLICY_HPP

// The QoS policies as the application sees them: each template names the fields of its
// delegate (vexa::core::policy), and the names without T are the instantiations the API uses.
// Setters return the policy, so they chain.

#include <cstdint>

#include "dds/core/Duration.hpp"
#include "dds/core/Value.hpp"
#include "dds/core/policy/PolicyKind.hpp"
#include "dds/core/types.hpp"
#include "vexa/core/policy/CorePolicyImpl.hpp"

namespace dds {
namespace core {
namespace policy {

// UserData, GroupData and TopicData: a byte sequence.
template <typename D>
class TOctetPolicy : public Value<D> {
public:
    TOctetPolicy() = default;
    explicit TOctetPolicy(ByteSeq const& v) : Value<D>(D(v)) {}
    // Throws InvalidDataError for a null pointer or a reversed range.
    TOctetPolicy(uint8_t const* begin, uint8_t const* end) : Value<D>(D(begin, end)) {}

    ByteSeq const& value() const { return this->d_.value(); }
    TOctetPolicy& value(ByteSeq const& v) {
        this->d_.value(v);
        return *this;
    }
    TOctetPolicy& value(uint8_t const* begin, uint8_t const* end) {
        this->d_.value(begin, end);
        return *this;
    }
};

template <typename D>
class TUserData : public TOctetPolicy<D> {
public:
    using TOctetPolicy<D>::TOctetPolicy;
};

template <typename D>
class TGroupData : public TOctetPolicy<D> {
public:
    using TOctetPolicy<D>::TOctetPolicy;
};

template <typename D>
class TTopicData : public TOctetPolicy<D> {
public:
    using TOctetPolicy<D>::TOctetPolicy;
};

template <typename D>
class TDurability : public Value<D> {
public:
    TDurability() = default;
    explicit TDurability(DurabilityKind::Type kind) : Value<D>(D{kind}) {}

    DurabilityKind::Type kind() const { return this->d_.kind; }
    TDurability& kind(DurabilityKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
};

template <typename D>
class TDurabilityService : public Value<D> {
public:
    TDurabilityService() = default;
    TDurabilityService(Duration const& service_cleanup_delay, HistoryKind::Type history_kind,
                       int32_t history_depth, int32_t max_samples, int32_t max_instances,
                       int32_t max_samples_per_instance)
        : Value<D>(D{service_cleanup_delay, history_kind, history_depth, max_samples, max_instances,
                     max_samples_per_instance}) {}

    Duration const& service_cleanup_delay() const { return this->d_.service_cleanup_delay; }
    TDurabilityService& service_cleanup_delay(Duration const& d) {
        this->d_.service_cleanup_delay = d;
        return *this;
    }
    HistoryKind::Type history_kind() const { return this->d_.history_kind; }
    TDurabilityService& history_kind(HistoryKind::Type k) {
        this->d_.history_kind = k;
        return *this;
    }
    int32_t history_depth() const { return this->d_.history_depth; }
    TDurabilityService& history_depth(int32_t n) {
        this->d_.history_depth = n;
        return *this;
    }
    int32_t max_samples() const { return this->d_.max_samples; }
    TDurabilityService& max_samples(int32_t n) {
        this->d_.max_samples = n;
        return *this;
    }
    int32_t max_instances() const { return this->d_.max_instances; }
    TDurabilityService& max_instances(int32_t n) {
        this->d_.max_instances = n;
        return *this;
    }
    int32_t max_samples_per_instance() const { return this->d_.max_samples_per_instance; }
    TDurabilityService& max_samples_per_instance(int32_t n) {
        this->d_.max_samples_per_instance = n;
        return *this;
    }
};

template <typename D>
class TPresentation : public Value<D> {
public:
    TPresentation() = default;
    TPresentation(PresentationAccessScopeKind::Type access_scope, bool coherent_access,
                  bool ordered_access)
        : Value<D>(D{access_scope, coherent_access, ordered_access}) {}

    PresentationAccessScopeKind::Type access_scope() const { return this->d_.access_scope; }
    TPresentation& access_scope(PresentationAccessScopeKind::Type s) {
        this->d_.access_scope = s;
        return *this;
    }
    bool coherent_access() const { return this->d_.coherent_access; }
    TPresentation& coherent_access(bool b) {
        this->d_.coherent_access = b;
        return *this;
    }
    bool ordered_access() const { return this->d_.ordered_access; }
    TPresentation& ordered_access(bool b) {
        this->d_.ordered_access = b;
        return *this;
    }
};

template <typename D>
class TDeadline : public Value<D> {
public:
    TDeadline() = default;
    explicit TDeadline(Duration const& period) : Value<D>(D{period}) {}

    Duration const& period() const { return this->d_.period; }
    TDeadline& period(Duration const& d) {
        this->d_.period = d;
        return *this;
    }
};

template <typename D>
class TLatencyBudget : public Value<D> {
public:
    TLatencyBudget() = default;
    explicit TLatencyBudget(Duration const& duration) : Value<D>(D{duration}) {}

    Duration const& duration() const { return this->d_.duration; }
    TLatencyBudget& duration(Duration const& d) {
        this->d_.duration = d;
        return *this;
    }
};

template <typename D>
class TOwnership : public Value<D> {
public:
    TOwnership() = default;
    explicit TOwnership(OwnershipKind::Type kind) : Value<D>(D{kind}) {}

    OwnershipKind::Type kind() const { return this->d_.kind; }
    TOwnership& kind(OwnershipKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
};

template <typename D>
class TOwnershipStrength : public Value<D> {
public:
    TOwnershipStrength() = default;
    explicit TOwnershipStrength(int32_t value) : Value<D>(D{value}) {}

    int32_t value() const { return this->d_.value; }
    TOwnershipStrength& value(int32_t v) {
        this->d_.value = v;
        return *this;
    }
};

template <typename D>
class TLiveliness : public Value<D> {
public:
    TLiveliness() = default;
    TLiveliness(LivelinessKind::Type kind, Duration const& lease_duration)
        : Value<D>(D{kind, lease_duration}) {}

    LivelinessKind::Type kind() const { return this->d_.kind; }
    TLiveliness& kind(LivelinessKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
    Duration const& lease_duration() const { return this->d_.lease_duration; }
    TLiveliness& lease_duration(Duration const& d) {
        this->d_.lease_duration = d;
        return *this;
    }
};

template <typename D>
class TTimeBasedFilter : public Value<D> {
public:
    TTimeBasedFilter() = default;
    explicit TTimeBasedFilter(Duration const& minimum_separation)
        : Value<D>(D{minimum_separation}) {}

    Duration const& minimum_separation() const { return this->d_.minimum_separation; }
    TTimeBasedFilter& minimum_separation(Duration const& d) {
        this->d_.minimum_separation = d;
        return *this;
    }
};

template <typename D>
class TPartition : public Value<D> {
public:
    TPartition() = default;
    explicit TPartition(StringSeq const& name) : Value<D>(D{name}) {}

    StringSeq const& name() const { return this->d_.name; }
    TPartition& name(StringSeq const& n) {
        this->d_.name = n;
        return *this;
    }
};

template <typename D>
class TReliability : public Value<D> {
public:
    TReliability() = default;
    TReliability(ReliabilityKind::Type kind, Duration const& max_blocking_time)
        : Value<D>(D{kind, max_blocking_time}) {}

    ReliabilityKind::Type kind() const { return this->d_.kind; }
    TReliability& kind(ReliabilityKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
    Duration const& max_blocking_time() const { return this->d_.max_blocking_time; }
    TReliability& max_blocking_time(Duration const& d) {
        this->d_.max_blocking_time = d;
        return *this;
    }
};

template <typename D>
class TDestinationOrder : public Value<D> {
public:
    TDestinationOrder() = default;
    explicit TDestinationOrder(DestinationOrderKind::Type kind) : Value<D>(D{kind}) {}

    DestinationOrderKind::Type kind() const { return this->d_.kind; }
    TDestinationOrder& kind(DestinationOrderKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
};

template <typename D>
class THistory : public Value<D> {
public:
    THistory() = default;
    THistory(HistoryKind::Type kind, int32_t depth) : Value<D>(D{kind, depth}) {}

    HistoryKind::Type kind() const { return this->d_.kind; }
    THistory& kind(HistoryKind::Type k) {
        this->d_.kind = k;
        return *this;
    }
    int32_t depth() const { return this->d_.depth; }
    THistory& depth(int32_t n) {
        this->d_.depth = n;
        return *this;
    }
};

template <typename D>
class TResourceLimits : public Value<D> {
public:
    TResourceLimits() = default;
    TResourceLimits(int32_t max_samples, int32_t max_instances, int32_t max_samples_per_instance)
        : Value<D>(D{max_samples, max_instances, max_samples_per_instance}) {}

    int32_t max_samples() const { return this->d_.max_samples; }
    TResourceLimits& max_samples(int32_t n) {
        this->d_.max_samples = n;
        return *this;
    }
    int32_t max_instances() const { return this->d_.max_instances; }
    TResourceLimits& max_instances(int32_t n) {
        this->d_.max_instances = n;
        return *this;
    }
    int32_t max_samples_per_instance() const { return this->d_.max_samples_per_instance; }
    TResourceLimits& max_samples_per_instance(int32_t n) {
        this->d_.max_samples_per_instance = n;
        return *this;
    }
};

template <typename D>
class TTransportPriority : public Value<D> {
public:
    TTransportPriority() = default;
    explicit TTransportPriority(int32_t value) : Value<D>(D{value}) {}

    int32_t value() const { return this->d_.value; }
    TTransportPriority& value(int32_t v) {
        this->d_.value = v;
        return *this;
    }
};

template <typename D>
class TLifespan : public Value<D> {
public:
    TLifespan() = default;
    explicit TLifespan(Duration const& duration) : Value<D>(D{duration}) {}

    Duration const& duration() const { return this->d_.duration; }
    TLifespan& duration(Duration const& d) {
        this->d_.duration = d;
        return *this;
    }
};

template <typename D>
class TEntityFactory : public Value<D> {
public:
    TEntityFactory() = default;
    explicit TEntityFactory(bool autoenable_created_entities)
        : Value<D>(D{autoenable_created_entities}) {}

    bool autoenable_created_entities() const { return this->d_.autoenable_created_entities; }
    TEntityFactory& autoenable_created_entities(bool b) {
        this->d_.autoenable_created_entities = b;
        return *this;
    }
};

template <typename D>
class TWriterDataLifecycle : public Value<D> {
public:
    TWriterDataLifecycle() = default;
    explicit TWriterDataLifecycle(bool autodispose_unregistered_instances)
        : Value<D>(D{autodispose_unregistered_instances}) {}

    bool autodispose_unregistered_instances() const {
        return this->d_.autodispose_unregistered_instances;
    }
    TWriterDataLifecycle& autodispose_unregistered_instances(bool b) {
        this->d_.autodispose_unregistered_instances = b;
        return *this;
    }
};

template <typename D>
class TReaderDataLifecycle : public Value<D> {
public:
    TReaderDataLifecycle() = default;
    TReaderDataLifecycle(Duration const& autopurge_nowriter_samples_delay,
                         Duration const& autopurge_disposed_samples_delay)
        : Value<D>(D{autopurge_nowriter_samples_delay, autopurge_disposed_samples_delay}) {}

    Duration const& autopurge_nowriter_samples_delay() const {
        return this->d_.autopurge_nowriter_samples_delay;
    }
    TReaderDataLifecycle& autopurge_nowriter_samples_delay(Duration const& d) {
        this->d_.autopurge_nowriter_samples_delay = d;
        return *this;
    }
    Duration const& autopurge_disposed_samples_delay() const {
        return this->d_.autopurge_disposed_samples_delay;
    }
    TReaderDataLifecycle& autopurge_disposed_samples_delay(Duration const& d) {
        this->d_.autopurge_disposed_samples_delay = d;
        return *this;
    }
};

using UserData = TUserData<vexa::core::policy::UserData>;
using GroupData = TGroupData<vexa::core::policy::GroupData>;
using TopicData = TTopicData<vexa::core::policy::TopicData>;
using Durability = TDurability<vexa::core::policy::Durability>;
using DurabilityService = TDurabilityService<vexa::core::policy::DurabilityService>;
using Presentation = TPresentation<vexa::core::policy::Presentation>;
using Deadline = TDeadline<vexa::core::policy::Deadline>;
using LatencyBudget = TLatencyBudget<vexa::core::policy::LatencyBudget>;
using Ownership = TOwnership<vexa::core::policy::Ownership>;
using OwnershipStrength = TOwnershipStrength<vexa::core::policy::OwnershipStrength>;
using Liveliness = TLiveliness<vexa::core::policy::Liveliness>;
using TimeBasedFilter = TTimeBasedFilter<vexa::core::policy::TimeBasedFilter>;
using Partition = TPartition<vexa::core::policy::Partition>;
using Reliability = TReliability<vexa::core::policy::Reliability>;
using DestinationOrder = TDestinationOrder<vexa::core::policy::DestinationOrder>;
using History = THistory<vexa::core::policy::History>;
using ResourceLimits = TResourceLimits<vexa::core::policy::ResourceLimits>;
using TransportPriority = TTransportPriority<vexa::core::policy::TransportPriority>;
using Lifespan = TLifespan<vexa::core::policy::Lifespan>;
using EntityFactory = TEntityFactory<vexa::core::policy::EntityFactory>;
using WriterDataLifecycle = TWriterDataLifecycle<vexa::core::policy::WriterDataLifecycle>;
using ReaderDataLifecycle = TReaderDataLifecycle<vexa::core::policy::ReaderDataLifecycle>;

}  // namespace policy
}  // namespace core
}  // namespace dds

#endif
