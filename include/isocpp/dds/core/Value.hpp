#ifndef DDS_CORE_VALUE_HPP
#define DDS_CORE_VALUE_HPP

// Base of the API's value templates (policies, statuses, QoS holders, built-in topic samples):
// the template gives the application's names, the delegate D holds the data. Copies copy the
// delegate; nothing is shared.

namespace dds {
namespace core {

template <typename D>
class Value {
public:
    using DELEGATE_T = D;

    Value& operator=(Value const& other) {
        if (this != &other) {
            d_ = other.d_;
        }
        return *this;
    }

    bool operator==(Value const& other) const { return d_ == other.d_; }
    bool operator!=(Value const& other) const { return !(d_ == other.d_); }

    D const* operator->() const { return &d_; }
    D* operator->() { return &d_; }
    D const& delegate() const { return d_; }
    D& delegate() { return d_; }

protected:
    Value() : d_() {}
    Value(Value const& other) : d_(other.d_) {}
    explicit Value(D const& d) : d_(d) {}
    ~Value() = default;

    D d_;
};

}  // namespace core
}  // namespace dds

#endif
