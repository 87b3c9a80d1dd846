#include "rtps/discovery/BuiltinRecordOps.h"

#include <atomic>

namespace RTPS {

namespace {

// Written when the engine starts and read by every thread that frees a change.
std::atomic<BuiltinRecordOps const*> g_ops[OWNER_PARTICIPANT_MESSAGE + 1];

}  // namespace

void setBuiltinRecordOps(OwnerTopicType kind, BuiltinRecordOps const* ops) {
    if (isBuiltinRecordKind(kind)) {
        g_ops[kind].store(ops, std::memory_order_release);
    }
}

BuiltinRecordOps const* getBuiltinRecordOps(int32_t kind) {
    return isBuiltinRecordKind(kind) ? g_ops[kind].load(std::memory_order_acquire) : nullptr;
}

}  // namespace RTPS
