#include "rtps/participant/HostWideParticipantIndex.h"

#include <sys/mman.h>

#include "common/log/Logger.h"
#include "common/os/Os.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

namespace {

void warnLock(const char* objectName, uint32_t status) {
    vexalog::Logger::getLogger().logMessage(
        "takeHostWideParticipantIndex", vexalog::Logger::SEV_WARNING,
        vexares::RTPS_MSG_HOST_INDEX_UNLOCKED, objectName, status);
}

}  // namespace

uint8_t takeHostWideParticipantIndex(const char* objectName) {
    vexa::SHMOBJECT_HANDLE handle = vexa::OsCreateSharedMemoryObject(objectName, 1);
    if (handle.sem == nullptr) {
        return 0;
    }
    if (handle.waitTimedOut != 0) {
        warnLock(objectName, vexa::OS_TIMEOUT);
    }
    void* mapped = vexa::OsMapSharedMemoryObject(handle, 1);
    if (mapped == MAP_FAILED) {
        vexa::OsCloseSharedMemoryObject(handle);
        return 0;
    }
    uint8_t* counter = static_cast<uint8_t*>(mapped);

    // A new object is zero-filled, so its first reader takes 0 like any other reader takes the
    // counter's value: the creator needs no path of its own, and a second process that opens
    // the object between its creation and the creator's lock cannot also get 0.
    const uint32_t locked = vexa::OsLockSharedMemoryObject(handle);
    if (locked != vexa::OS_OK) {
        warnLock(objectName, locked);
    }
    const uint8_t value = *counter;
    const uint8_t index = value < HOST_WIDE_PARTICIPANT_INDICES ? value : 0;
    *counter = index + 1 < HOST_WIDE_PARTICIPANT_INDICES ? static_cast<uint8_t>(index + 1) : 0;
    // After a timed-out wait the unlock mends a lock whose holder died.
    if (locked != vexa::OS_LOCK_FAILED) {
        vexa::OsUnlockSharedMemoryObject(handle);
    }

    vexa::OsUnmapSharedMemoryObject(mapped, 1);
    vexa::OsCloseSharedMemoryObject(handle);
    return index;
}

}  // namespace RTPS
