#include "dcps/lock/LockOrder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vexa::dcps {

namespace {

struct Held {
    void const* mutex;
    LockLevel level;
    char const* name;
    bool marked;
};

std::vector<Held>& held() {
    thread_local std::vector<Held> list;
    return list;
}

[[noreturn]] void violation(char const* taking, LockLevel takingLevel, char const* holding,
                            LockLevel holdingLevel) {
    std::fprintf(stderr, "lock order violated: taking \"%s\" (level %u) while holding \"%s\" (level %u)\n",
                 taking, static_cast<unsigned>(takingLevel), holding,
                 static_cast<unsigned>(holdingLevel));
    std::fflush(stderr);
    std::abort();
}

// Checks `mutex` against every entry from index 0 to `end`.
void check(std::vector<Held> const& list, size_t end, void const* mutex, LockLevel level,
           char const* name, bool recursive) {
    bool participantHeld = false;
    for (size_t i = 0; i < end; ++i) {
        if (list[i].level == LockLevel::Participant) {
            participantHeld = true;
        }
    }
    for (size_t i = 0; i < end; ++i) {
        Held const& h = list[i];
        if (h.mutex == mutex) {
            if (!recursive) {
                violation(name, level, h.name, h.level);
            }
            continue;
        }
        if (h.level < level) {
            continue;
        }
        if (h.level == LockLevel::Entity && level == LockLevel::Entity && participantHeld) {
            continue;
        }
        violation(name, level, h.name, h.level);
    }
}

}  // namespace

void LockOrder::acquire(void const* mutex, LockLevel level, char const* name, bool recursive,
                        bool marked) {
    std::vector<Held>& list = held();
    check(list, list.size(), mutex, level, name, recursive);
    list.push_back({mutex, level, name, marked});
}

void LockOrder::acquireJoint(void const* a, LockLevel levelA, char const* nameA, bool markedA,
                             void const* b, LockLevel levelB, char const* nameB, bool markedB) {
    std::vector<Held>& list = held();
    check(list, list.size(), a, levelA, nameA, true);
    check(list, list.size(), b, levelB, nameB, true);
    list.push_back({a, levelA, nameA, markedA});
    list.push_back({b, levelB, nameB, markedB});
}

void LockOrder::release(void const* mutex) {
    std::vector<Held>& list = held();
    for (size_t i = list.size(); i > 0; --i) {
        if (list[i - 1].mutex == mutex) {
            list.erase(list.begin() + static_cast<long>(i - 1));
            return;
        }
    }
}

bool LockOrder::holdsMarked() {
    for (Held const& h : held()) {
        if (h.marked) {
            return true;
        }
    }
    return false;
}

unsigned LockOrder::heldCount() {
    return static_cast<unsigned>(held().size());
}

}  // namespace vexa::dcps
