#ifndef VEXA_CORE_COND_CONDITIONIMPL_HPP
#define VEXA_CORE_COND_CONDITIONIMPL_HPP

// The implementation behind an application condition: it wraps one core condition, which the
// core owns (a status or read condition) or which a derived class owns (a guard condition).

namespace vexa {
namespace dcps {
class Condition;
}

namespace core {
namespace cond {

class ConditionImpl {
public:
    explicit ConditionImpl(vexa::dcps::Condition* condition = nullptr) : condition_(condition) {}
    ConditionImpl(ConditionImpl const&) = delete;
    ConditionImpl& operator=(ConditionImpl const&) = delete;
    virtual ~ConditionImpl();

    // What the wait set's dispatch runs for a triggered condition; nothing here.
    virtual void dispatch();

    // False without a wrapped condition.
    bool get_trigger_value() const;
    vexa::dcps::Condition* getCondition() const { return condition_; }

protected:
    vexa::dcps::Condition* condition_;
};

}  // namespace cond
}  // namespace core
}  // namespace vexa

#endif
