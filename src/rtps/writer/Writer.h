#pragma once

#include <cstdint>

namespace vexa {
namespace dds {
struct PublicationBuiltinTopicData;
}
}  // namespace vexa

namespace RTPS {

struct RTPS_AdditionalTopicData;
struct SampleInfo;

// The engine's writer as the DCPS core sees it: it hands over every sample it writes,
// withdraws samples, asserts liveliness, changes QoS and closes the writer. Failures are thrown
// as DDSIException subclasses.
class Writer {
public:
    // The handle addChange returns when it took no change (the core reports TIMEOUT).
    static constexpr int64_t NOT_TAKEN = 0xFFFFFFFF;

    virtual ~Writer() = default;

    // Stores the sample as a new change; returns its handle (ChangeHandle.h) or NOT_TAKEN.
    virtual int64_t addChange(SampleInfo* sample) = 0;
    // Withdraws the change of that handle; returns 1.
    virtual int deleteChange(int64_t handle) = 0;
    virtual void assertLiveliness() = 0;
    // Takes the whole new description and re-announces the writer; the mask is not read.
    virtual void setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra, unsigned mask) = 0;
    // Stops, unregisters and destroys a user writer; a built-in writer ignores it. The caller
    // forgets the pointer.
    virtual void close() = 0;
};

}  // namespace RTPS
