#pragma once

#include <chrono>
#include <cstdint>

namespace vexa::dds {
struct PublicationBuiltinTopicData;
}

namespace RTPS {

struct RTPS_AdditionalTopicData;
struct SampleInfo;

// A writer as its user (the DCPS core) sees it. The participant owns it; after close the
// user must not touch the pointer again.
class Writer {
public:
    virtual ~Writer() = default;

    // Copies the sample into the history as a new change. Returns the change's handle: the
    // sequence number's high word in bits 0-31, its low word in bits 32-63; 0xFFFFFFFF when
    // the change was not taken. Throws DDSIException (BAD_PARAMETERS for unusable data).
    virtual int64_t addChange(SampleInfo* sample) = 0;
    // Removes the change of a handle from the history: true when it was there. Throws
    // BAD_PARAMETERS for an invalid handle.
    virtual bool deleteChange(long handle) = 0;
    // Announces the writer alive to its matched readers.
    virtual void assertLiveliness() = 0;
    // Adopts a new description. `mask`: 1 user data, 4 group data, 8 deadline, 16 latency
    // budget, 128 partition, 0x100 transport priority, 0x200 lifespan. Throws DDSIException.
    virtual void setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra, unsigned int mask) = 0;
    // Stops the writer and releases it.
    virtual void close() = 0;

    // For a caller that must not wait while it holds locks of its own: addNow never waits (a
    // full history gives 0xFFFFFFFF at once), waitForRoom waits, without touching the
    // history's contents, until a change would be taken or `deadline` passes (false). Writers
    // that never wait take these defaults.
    virtual int64_t addNow(SampleInfo* sample) { return addChange(sample); }
    // Removes the change of a handle at once, acknowledged or not: a writer that keeps only the
    // last samples of an instance replaced it, and readers that miss it lose it. True when
    // the history held it. Writers that never wait for acknowledgements take the default.
    virtual bool dropChange(long handle) { return deleteChange(handle); }
    virtual bool waitForRoom(std::chrono::steady_clock::time_point deadline) {
        (void)deadline;
        return true;
    }
};

}  // namespace RTPS
