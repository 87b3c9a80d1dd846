#include "dcps/lock/LockOrder.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace vexa::dcps {

namespace {

struct Held {
    void const* mutex;
    LockLevel level;
    char const* name;
    bool marked;
    unsigned depth;  // re-entries of a recursive mutex share one entry
};

// Trivially destructible on purpose: the factory's destructor takes core mutexes at process
// exit, after the main thread's thread_local objects with destructors are gone.
constexpr size_t kMaxHeld = 32;

struct HeldList {
    Held entries[kMaxHeld];
    size_t count;

    size_t size() const { return count; }
    Held const& operator[](size_t i) const { return entries[i]; }
    Held* begin() { return entries; }
    Held* end() { return entries + count; }
};

HeldList& held() {
    thread_local HeldList list;  // zero-initialised, no destructor
    return list;
}

[[noreturn]] void violation(char const* taking, LockLevel takingLevel, char const* holding,
                            LockLevel holdingLevel) {
    std::fprintf(
        stderr, "lock order violated: taking \"%s\" (level %u) while holding \"%s\" (level %u)\n",
        taking, static_cast<unsigned>(takingLevel), holding, static_cast<unsigned>(holdingLevel));
    std::fflush(stderr);
    std::abort();
}

// Checks `mutex` against every entry from index 0 to `end`. Re-entering a recursive mutex the
// thread holds never waits, whatever it took since (a reader's creation holds the participant
// and subscriber mutexes and calls the participant again).
void check(HeldList const& list, size_t end, void const* mutex, LockLevel level, char const* name,
           bool recursive) {
    for (size_t i = 0; i < end; ++i) {
        if (list.entries[i].mutex == mutex) {
            if (!recursive) {
                violation(name, level, list.entries[i].name, list.entries[i].level);
            }
            return;
        }
    }
    bool participantHeld = false;
    for (size_t i = 0; i < end; ++i) {
        if (list[i].level == LockLevel::Participant) {
            participantHeld = true;
        }
        // Re-entering a recursive mutex the thread holds never blocks, whatever it took since
        // (a publisher's operation calls back into its participant).
        if (list[i].mutex == mutex && recursive) {
            return;
        }
    }
    for (size_t i = 0; i < end; ++i) {
        Held const& h = list[i];
        if (h.level < level) {
            continue;
        }
        if (h.level == LockLevel::Entity && level == LockLevel::Entity && participantHeld) {
            continue;
        }
        violation(name, level, h.name, h.level);
    }
}

void push(HeldList& list, Held const& entry) {
    for (Held* h = list.begin(); h != list.end(); ++h) {
        if (h->mutex == entry.mutex) {
            ++h->depth;
            return;
        }
    }
    if (list.count == kMaxHeld) {
        std::fprintf(stderr, "lock order: more than %zu mutexes held at once, taking \"%s\"\n",
                     kMaxHeld, entry.name);
        std::fflush(stderr);
        std::abort();
    }
    list.entries[list.count++] = entry;
}

}  // namespace

void LockOrder::acquire(void const* mutex, LockLevel level, char const* name, bool recursive,
                        bool marked) {
    HeldList& list = held();
    check(list, list.size(), mutex, level, name, recursive);
    push(list, {mutex, level, name, marked, 1});
}

void LockOrder::acquireJoint(void const* a, LockLevel levelA, char const* nameA, bool markedA,
                             void const* b, LockLevel levelB, char const* nameB, bool markedB) {
    HeldList& list = held();
    check(list, list.size(), a, levelA, nameA, true);
    check(list, list.size(), b, levelB, nameB, true);
    push(list, {a, levelA, nameA, markedA, 1});
    push(list, {b, levelB, nameB, markedB, 1});
}

void LockOrder::release(void const* mutex) {
    HeldList& list = held();
    for (size_t i = list.count; i > 0; --i) {
        Held& h = list.entries[i - 1];
        if (h.mutex != mutex) {
            continue;
        }
        if (--h.depth == 0) {
            for (size_t j = i; j < list.count; ++j) {
                list.entries[j - 1] = list.entries[j];
            }
            --list.count;
        }
        return;
    }
}

bool LockOrder::holdsMarked() {
    HeldList& list = held();
    for (Held const* h = list.begin(); h != list.end(); ++h) {
        if (h->marked) {
            return true;
        }
    }
    return false;
}

unsigned LockOrder::heldCount() {
    unsigned n = 0;
    HeldList& list = held();
    for (Held const* h = list.begin(); h != list.end(); ++h) {
        n += h->depth;
    }
    return n;
}

}  // namespace vexa::dcps
