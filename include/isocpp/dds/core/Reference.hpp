#ifndef DDS_CORE_REFERENCE_HPP
#define DDS_CORE_REFERENCE_HPP

// Base of every API handle: one shared reference to a delegate. Copies share the delegate;
// the delegate goes with its last reference (a handle or a retain-registry entry). A nil
// handle holds no delegate, and calling through it is the caller's fault.
//
// Ownership, once for all handles: the core owns its entities, the typed bridges and the
// core conditions; a delegate reaches its core entity only while it lives, and only a
// delegate's destructor deletes its core entity. A delegate holds its parent's handle (writer
// -> publisher -> participant), so no parent goes before a child. close() marks nothing in the
// core: a closed handle still reaches a live core object, and its operations throw
// AlreadyClosedError.

#include <memory>

#include "dds/core/types.hpp"

namespace dds {
namespace core {

template <typename D>
class Reference {
public:
    using DELEGATE_T = D;
    using DELEGATE_REF_T = std::shared_ptr<D>;

    Reference() = default;
    Reference(null_type const&) {}
    explicit Reference(DELEGATE_REF_T const& ref) : impl_(ref) {}
    explicit Reference(D* p) : impl_(p) {}
    virtual ~Reference() = default;
    Reference(Reference const&) = default;
    Reference& operator=(Reference const&) = default;
    Reference(Reference&&) noexcept = default;
    Reference& operator=(Reference&&) noexcept = default;

    template <typename R>
    bool operator==(R const& other) const {
        return impl_.get() == other.delegate().get();
    }
    template <typename R>
    bool operator!=(R const& other) const {
        return !(*this == other);
    }
    bool operator==(null_type const&) const { return !impl_; }
    bool operator!=(null_type const&) const { return static_cast<bool>(impl_); }

    bool is_nil() const { return !impl_; }
    DELEGATE_REF_T const& delegate() const { return impl_; }
    D* operator->() const { return impl_.get(); }

protected:
    DELEGATE_REF_T impl_;
};

}  // namespace core
}  // namespace dds

#endif
