#pragma once

#include <vector>

namespace vexa::dcps {

// One collector pass over a child table, the same in every container, run under the
// container's mutex: a child found ready is destroyed and its entry emptied; a child not
// marked collects its own children (`collectChild`); a marked child becomes ready. So a
// deleted entity lives until the second pass after its mark.
template <class T, class CollectChild>
void collectTable(std::vector<T*>& table, CollectChild collectChild) {
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
            child->setReady();
        }
    }
}

// The same for a container whose marked children may still have calls of their own children in
// flight: a marked child goes on collecting its children and becomes ready only once `empty`
// says none is left, so it outlives the last of their calls.
template <class T, class CollectChild, class Empty>
void collectTable(std::vector<T*>& table, CollectChild collectChild, Empty empty) {
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
            collectChild(child);
            if (empty(child)) {
                child->setReady();
            }
        }
    }
}

}  // namespace vexa::dcps
