#ifndef VEXA_DDS_SAMPLEINFO_H
#define VEXA_DDS_SAMPLEINFO_H

// What a reader tells about each sample it lends: the sample's, its view's and its instance's
// state, where it came from and how far the instance has moved on since. The states are bit
// values, so a set of them is a mask.

#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace dds {

using SampleStateMask = uint32_t;
constexpr SampleStateMask READ_SAMPLE_STATE = 1;
constexpr SampleStateMask NOT_READ_SAMPLE_STATE = 2;
constexpr SampleStateMask ANY_SAMPLE_STATE = 0xFFFF;

using ViewStateMask = uint32_t;
constexpr ViewStateMask NEW_VIEW_STATE = 1;
constexpr ViewStateMask NOT_NEW_VIEW_STATE = 2;
constexpr ViewStateMask ANY_VIEW_STATE = 0xFFFF;

using InstanceStateMask = uint32_t;
constexpr InstanceStateMask ALIVE_INSTANCE_STATE = 1;
constexpr InstanceStateMask NOT_ALIVE_DISPOSED_INSTANCE_STATE = 2;
constexpr InstanceStateMask NOT_ALIVE_NO_WRITERS_INSTANCE_STATE = 4;
constexpr InstanceStateMask NOT_ALIVE_INSTANCE_STATE = 6;
constexpr InstanceStateMask ANY_INSTANCE_STATE = 0xFFFF;

struct SampleInfo {
    int32_t sample_state = 0;
    int32_t view_state = 0;
    int32_t instance_state = 0;
    Time_t source_timestamp;
    InstanceHandle_t instance_handle = HANDLE_NIL;
    InstanceHandle_t publication_handle = HANDLE_NIL;
    int32_t disposed_generation_count = 0;
    int32_t no_writers_generation_count = 0;
    int32_t sample_rank = 0;
    int32_t generation_rank = 0;
    int32_t absolute_generation_rank = 0;
    bool valid_data = false;
};

}  // namespace dds
}  // namespace vexa

#endif
