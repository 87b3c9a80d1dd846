#ifndef VEXA_CORE_RETAIN_HPP
#define VEXA_CORE_RETAIN_HPP

// The process-wide retain registries: one per entity kind, each a list of full handle copies
// that keep their entities alive without an application handle. Created when the library is
// loaded and emptied at exit. Each registry has its own mutex; removed handles are released
// after it is unlocked, since releasing one may destroy its delegate, which may come back
// here.

namespace vexa {
namespace core {

// Appends a copy of the handle, even when one is listed already.
template <typename H>
void retain_add(H& handle);
// Removes every copy equal to the handle (the same delegate), keeping the others' order.
template <typename H>
void retain_remove(H& handle);

}  // namespace core
}  // namespace vexa

#endif
