#ifndef VEXA_DDS_DDSTYPES_H
#define VEXA_DDS_DDSTYPES_H

// Everything of namespace vexa::dds at once: return codes, time values, QoS policies and
// entity QoS sets, statuses, the built-in topic records and what a reader tells about a sample.

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/QosPolicy.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/Status.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/SampleInfo.h"

#endif
