#pragma once

#include <cstddef>
#include <exception>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/participant/CommunicationObject.h"

namespace RTPS {

// The changes one received datagram brings, delivered as one batch: the receive path opens a
// ReceiveBatch on its thread before it hands the datagram's changes to the readers and closes
// it after the last. A communication object that would do per-change work in changeAvailable
// (file the change, wake a thread) may instead ask to be told when the batch ends (defer) and
// then do that work once for all of them.
//
// Batches nest on a thread: an inner one joins the outer one, and only the outermost settles.
// Settling calls CommunicationObject::receiveBatchEnded on the closing thread, once per object
// that deferred, in the order they first deferred; it runs from the destructor, so a batch
// left by an exception or an early return is still settled. The receive path holds no engine
// mutex when it closes a batch (the same rule as for changeAvailable), and the objects it
// settles must outlive it: the message receiver's parse holds off its stop, and the engine
// participant goes before the user's communication object. Off a receive path no batch is
// open and defer answers false: the caller does its work at once.
class ReceiveBatch {
public:
    ReceiveBatch() { ++state().depth; }
    ~ReceiveBatch();
    ReceiveBatch(ReceiveBatch const&) = delete;
    ReceiveBatch& operator=(ReceiveBatch const&) = delete;

    // On the thread of a changeAvailable call: true when a batch is open there; `object` is
    // then told once when the outermost batch ends. False (nothing remembered) otherwise.
    static bool defer(CommunicationObject* object);
    // Whether a batch is open on the calling thread.
    static bool open() { return state().depth != 0; }
    // Settles now what the open batch owes so far and keeps it open: a reader whose history
    // is full calls it before it refuses a change, as the changes that fill it may be waiting
    // for the batch's end to be taken out. Nothing happens off a batch.
    static void settle();

private:
    // A fixed table, so the receive path allocates nothing for it; an object beyond it is
    // told at once instead (defer says false).
    static constexpr size_t MAX_OBJECTS = 8;
    struct Open {
        unsigned depth = 0;
        size_t count = 0;
        CommunicationObject* objects[MAX_OBJECTS] = {};
    };
    // Header-only like the rest of the engine's interface: one instance per thread in the
    // library that includes it.
    static Open& state() {
        static thread_local Open open;
        return open;
    }
};

inline ReceiveBatch::~ReceiveBatch() {
    Open& batch = state();
    if (batch.depth > 1) {
        --batch.depth;
        return;
    }
    settle();
    batch.depth = 0;
}

inline void ReceiveBatch::settle() {
    Open& batch = state();
    // Still open while the objects settle: one deferred meanwhile is settled in this loop.
    for (size_t i = 0; i < batch.count; ++i) {
        CommunicationObject* const object = batch.objects[i];
        batch.objects[i] = nullptr;
        try {
            object->receiveBatchEnded();
        } catch (std::exception const& e) {
            vexalog::Logger::getLogger().logMessage(
                "RTPS::ReceiveBatch", vexalog::Logger::SEV_ERROR,
                vexares::RTPS_MSG_RECEIVE_BATCH_FAILED, e.what());
        } catch (...) {
            vexalog::Logger::getLogger().logMessage("RTPS::ReceiveBatch",
                                                    vexalog::Logger::SEV_ERROR,
                                                    vexares::RTPS_MSG_RECEIVE_BATCH_FAILED, "?");
        }
    }
    batch.count = 0;
}

inline bool ReceiveBatch::defer(CommunicationObject* object) {
    Open& batch = state();
    if (batch.depth == 0 || object == nullptr) {
        return false;
    }
    for (size_t i = 0; i < batch.count; ++i) {
        if (batch.objects[i] == object) {
            return true;
        }
    }
    if (batch.count == MAX_OBJECTS) {
        return false;
    }
    batch.objects[batch.count++] = object;
    return true;
}

}  // namespace RTPS
