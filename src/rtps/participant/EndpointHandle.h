#pragma once

#include <utility>

namespace RTPS {

// One lookup of a participant's writer or reader: holds one use of the endpoint (raised by
// the lookup under the list mutex) and gives it back when dropped, on every path, so that the
// endpoint's owner never waits for a use that nobody will return. Move-only.
template <class E>
class EndpointHandle {
public:
    EndpointHandle() = default;
    // `endpoint`'s use count has been raised for this handle.
    explicit EndpointHandle(E* endpoint) : m_endpoint(endpoint) {}
    ~EndpointHandle() { reset(); }

    EndpointHandle(EndpointHandle&& other) noexcept : m_endpoint(other.m_endpoint) {
        other.m_endpoint = nullptr;
    }
    EndpointHandle& operator=(EndpointHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_endpoint = std::exchange(other.m_endpoint, nullptr);
        }
        return *this;
    }
    EndpointHandle(EndpointHandle const&) = delete;
    EndpointHandle& operator=(EndpointHandle const&) = delete;

    E* get() const { return m_endpoint; }
    E* operator->() const { return m_endpoint; }
    explicit operator bool() const { return m_endpoint != nullptr; }

    void reset() {
        if (m_endpoint != nullptr) {
            m_endpoint->lowerUseCount();
            m_endpoint = nullptr;
        }
    }

private:
    E* m_endpoint = nullptr;
};

}  // namespace RTPS
