#pragma once

#include <vector>

namespace vexa::dcps {

namespace detail {

// The pass both forms share: a ready child is destroyed and its entry emptied, a live child
// collects its own children, a marked one is handed to `marked`.
template <class T, class CollectChild, class Marked>
void collectEach(std::vector<T*>& table, CollectChild& collectChild, Marked marked) {
    for (T*& child : table) {
        if (child == nullptr) {
            continue;
        }
        if (child->isReady()) {
            delete child;
            child = nullptr;
        } else if (!child->isMarked()) {
            collectChild(child);
        } else {
            marked(child);
        }
    }
}

}  // namespace detail

// One collector pass over a child table, the same in every container, run under the
// container's mutex: a child found ready is destroyed and its entry emptied; a child not
// marked collects its own children (`collectChild`); a marked child becomes ready. So a
// deleted entity lives until the second pass after its mark.
template <class T, class CollectChild>
void collectTable(std::vector<T*>& table, CollectChild collectChild) {
    detail::collectEach(table, collectChild, [](T* child) { child->setReady(); });
}

// The same for a container whose marked children may still have calls of their own children in
// flight: a marked child goes on collecting its children and becomes ready only once `empty`
// says none is left, so it outlives the last of their calls.
template <class T, class CollectChild, class Empty>
void collectTable(std::vector<T*>& table, CollectChild collectChild, Empty empty) {
    detail::collectEach(table, collectChild, [&collectChild, &empty](T* child) {
        collectChild(child);
        if (empty(child)) {
            child->setReady();
        }
    });
}

}  // namespace vexa::dcps
