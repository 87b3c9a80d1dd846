#pragma once

#include <cstdint>

namespace vexa::dcps {

// The one lock order of the core and of its contract with the engine. A thread takes mutexes
// in rising level only:
//   factory -> participant -> one publisher, subscriber or built-in subscriber -> (engine) ->
//   a subscriber's input queue -> Condition::mt_ -> a wait set's mutex -> one leaf.
// Leaves (the communication object's mutex, a publisher's writer-resources gate, the
// collector's control mutex) are never held while anything else is taken.
// Exceptions: a recursive mutex may be re-entered, and a second mutex of the entity level may
// be taken while the thread holds a participant mutex (writes and creations lock the
// participant and the publisher or subscriber together; every path to the built-in
// subscriber's mutex takes the participant mutex first).
// The engine's half: it holds none of its own locks while it calls changeAvailable,
// assertLiveliness or participantLost for a built-in reader, or assertLiveliness for a user
// reader; nor changeAvailable for a user reader, which may file the change on that thread
// (RTPSCommunicationObject.h). The core's half: no
// engine call while the built-in subscriber's mutex is held (it is "marked"), except getChange
// and deleteChange of a built-in reader.
enum class LockLevel : uint8_t {
    Factory = 10,
    Participant = 20,
    Entity = 30,  // publisher, subscriber, built-in subscriber
    Engine = 35,
    InputQueue = 40,
    Conditions = 50,
    WaitSet = 60,
    Leaf = 100,
};

// The checker behind OrderedMutex: each thread keeps the mutexes it holds; taking one against
// the order prints both names and aborts. The mutexes call it only in builds without NDEBUG;
// the functions themselves always exist.
class LockOrder {
public:
    // Before (or, for try_lock, after) locking `mutex`.
    static void acquire(void const* mutex, LockLevel level, char const* name, bool recursive,
                        bool marked);
    // After locking two mutexes in one deadlock-free step: each is checked against what was
    // held before, not against the other.
    static void acquireJoint(void const* a, LockLevel levelA, char const* nameA, bool markedA,
                             void const* b, LockLevel levelB, char const* nameB, bool markedB);
    // After unlocking `mutex` (its latest entry is dropped).
    static void release(void const* mutex);
    // True while the thread holds a mutex marked "no engine calls".
    static bool holdsMarked();
    // The number of core mutexes the thread holds (a recursive one counts once per lock).
    static unsigned heldCount();
};

}  // namespace vexa::dcps
