#ifndef VEXA_CORE_COND_GUARDCONDITIONIMPL_HPP
#define VEXA_CORE_COND_GUARDCONDITIONIMPL_HPP

// A condition the application triggers itself. It owns its core guard condition, and an
// optional handler that the wait set's dispatch calls on the dispatching thread.

#include <functional>
#include <memory>

#include "vexa/core/cond/ConditionImpl.hpp"

namespace vexa {
namespace dcps {
class GuardCondition;
}

namespace core {
namespace cond {

class GuardConditionImpl : public ConditionImpl {
public:
    GuardConditionImpl();
    ~GuardConditionImpl() override;

    void dispatch() override;

    void trigger_value(bool value);
    // An empty function removes the handler.
    void handler(std::function<void()> h) { handler_ = std::move(h); }

private:
    std::shared_ptr<vexa::dcps::GuardCondition> guard_;
    std::function<void()> handler_;
};

}  // namespace cond
}  // namespace core
}  // namespace vexa

#endif
