#ifndef DDS_DDS_HPP
#define DDS_DDS_HPP

// The whole application interface in one header: entities, QoS, statuses, conditions, wait
// sets, listeners and the typed topic, writer and reader handles. Generated model_DCPS.hpp
// includes it and registers each topic type with REGISTER_TOPIC_TRAITS.
//
// Listeners: only writer and reader listeners are called. Participant, publisher, subscriber
// and topic listeners are installed but never called, whatever their status mask. Writer and
// reader callbacks run on the participant's data-handling thread while the participant's
// mutex is held: keep them short, and never wait in one for another thread that uses the
// participant.

#include "dds/core/Duration.hpp"
#include "dds/core/InstanceHandle.hpp"
#include "dds/core/Time.hpp"
#include "dds/core/cond/GuardCondition.hpp"
#include "dds/core/cond/StatusCondition.hpp"
#include "dds/core/cond/WaitSet.hpp"
#include "dds/core/policy/CorePolicy.hpp"
#include "dds/core/status/Status.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/domain/DomainParticipantListener.hpp"
#include "dds/pub/AnyDataWriter.hpp"
#include "dds/pub/DataWriter.hpp"
#include "dds/pub/DataWriterListener.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/pub/find.hpp"
#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/DataReader.hpp"
#include "dds/sub/DataReaderListener.hpp"
#include "dds/sub/LoanedSamples.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/sub/cond/ReadCondition.hpp"
#include "dds/sub/find.hpp"
#include "dds/sub/status/DataState.hpp"
#include "dds/topic/AnyTopic.hpp"
#include "dds/topic/BuiltinTopicData.hpp"
#include "dds/topic/Topic.hpp"
#include "vexa/TypeSupportTemplate.h"
#include "vexa/core/Exception.hpp"

#endif
