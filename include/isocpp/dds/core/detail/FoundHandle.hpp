#ifndef DDS_CORE_DETAIL_FOUNDHANDLE_HPP
#define DDS_CORE_DETAIL_FOUNDHANDLE_HPP

// What the find functions of publishers and subscribers share: a found writer's or reader's
// delegate becomes the handle the caller asked for and goes to the caller's iterator.
//   HANDLE  the caller's handle type: a typed one, which passes over a delegate whose bridge is
//           not BRIDGE<HANDLE::DataType>, or ANY, which takes every delegate through a HOLDER.
// The result is the number of handles put (1 or 0); a null delegate puts none.

#include <cstdint>
#include <memory>
#include <type_traits>

namespace dds {
namespace core {
namespace detail {

template <typename HANDLE, typename ANY, typename HOLDER, template <typename> class BRIDGE,
          typename DELEGATE, typename Out>
uint32_t putFound(std::shared_ptr<DELEGATE> const& d, Out& out) {
    if (d == nullptr) {
        return 0;
    }
    if constexpr (std::is_same<HANDLE, ANY>::value) {
        *out = ANY(std::make_shared<HOLDER>(d));
    } else {
        if (dynamic_cast<BRIDGE<typename HANDLE::DataType>*>(d->bridge()) == nullptr) {
            return 0;
        }
        *out = HANDLE(d);
    }
    ++out;
    return 1;
}

}  // namespace detail
}  // namespace core
}  // namespace dds

#endif
