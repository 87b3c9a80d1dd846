#include "rtps/participant/ComponentFactory.h"

#include "rtps/discovery/BuiltinDiscovery.h"
#include "rtps/discovery/BuiltinStatefulReader.h"
#include "rtps/discovery/BuiltinStatelessReader.h"
#include "rtps/discovery/BuiltinParticipantMessageWriter.h"
#include "rtps/discovery/SEDPBuiltinPublicationWriter.h"
#include "rtps/discovery/SEDPBuiltinSubscriptionWriter.h"
#include "rtps/discovery/SEDPBuiltinTopicWriter.h"
#include "rtps/discovery/SPDPBuiltinParticipantWriter.h"
#include "rtps/dsvc/DSVCDataTransport.h"

#include "rtps/io/RTPSDataTransport.h"
#include "rtps/participant/DiscoveryDirectory.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/LocalReader.h"
#include "rtps/participant/LocalWriter.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/reader/StatefulReader.h"
#include "rtps/reader/StatelessReader.h"
#include "rtps/writer/StatefulWriter.h"
#include "rtps/writer/StatelessWriter.h"

namespace RTPS {

// Each maker below is where its endpoint kind, once built, is constructed. Until then it makes
// nothing, and the participant runs without it.

RTPSDataTransport* ComponentFactory::makeTransport(Participant* participant) {
    return getTransport(participant);
}

std::shared_ptr<SchedulerClock> ComponentFactory::makeSchedulerClock() {
    return nullptr;
}

TaskFunctions ComponentFactory::endpointTaskFunctions() {
    TaskFunctions tasks{};
    tasks[TASK_WRITER_RELIABLE] = &StatefulWriter::reliableTask;
    tasks[TASK_WRITER_DEFERRED] = &StatefulWriter::deferredTask;
    tasks[TASK_NACK_SUPPRESSION] = &StatefulWriter::nackSuppressionTask;
    tasks[TASK_READER_DEFERRED] = &StatefulReader::deferredTask;
    tasks[TASK_STATELESS_BEST_EFFORT] = &StatelessWriter::bestEffortTask;
    tasks[TASK_SPDP_BEST_EFFORT] = &SPDPBuiltinParticipantWriter::announceTask;
    return tasks;
}

LocalWriter* ComponentFactory::makeBuiltinWriter(
    BuiltinTopic topic, ParticipantImpl* participant, EndpointConfig const& config,
    vexa::dds::PublicationBuiltinTopicData const& description) {
    switch (topic) {
        case BuiltinTopic::SUBSCRIPTION:
            return new SEDPBuiltinSubscriptionWriter(participant, &config, &description);
        case BuiltinTopic::PUBLICATION:
            return new SEDPBuiltinPublicationWriter(participant, &config, &description);
        case BuiltinTopic::TOPIC:
            return new SEDPBuiltinTopicWriter(participant, &config, &description);
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            return new BuiltinParticipantMessageWriter(participant, &config, &description);
        case BuiltinTopic::PARTICIPANT:
            break;
    }
    return new SPDPBuiltinParticipantWriter(participant, &config, &description);
}

LocalReader* ComponentFactory::makeBuiltinReader(
    BuiltinTopic topic, ParticipantImpl* participant, EndpointConfig const& config,
    vexa::dds::SubscriptionBuiltinTopicData const& description,
    CommunicationObject* communicationObject, COMMUNICATION_MODE mode) {
    switch (topic) {
        case BuiltinTopic::PARTICIPANT:
            return new BuiltinStatelessReader(participant, &config, &description,
                                              communicationObject, mode);
        case BuiltinTopic::TOPIC:
            // Remote topics are only stored and reported: nothing to match.
            return new StatefulReader(participant, &config, &description, nullptr,
                                      communicationObject, mode);
        case BuiltinTopic::SUBSCRIPTION:
        case BuiltinTopic::PUBLICATION:
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            break;
    }
    return new BuiltinStatefulReader(topic, participant, &config, &description, communicationObject,
                                     mode);
}

LocalWriter* ComponentFactory::makeWriter(bool reliable, ParticipantImpl* participant,
                                          EndpointConfig const& config,
                                          vexa::dds::PublicationBuiltinTopicData const& description,
                                          int32_t transportPriority) {
    if (reliable) {
        return new StatefulWriter(participant, &config, &description, transportPriority);
    }
    return new StatelessWriter(participant, &config, &description, transportPriority);
}

LocalReader* ComponentFactory::makeReader(
    bool reliable, ParticipantImpl* participant, EndpointConfig const& config,
    vexa::dds::SubscriptionBuiltinTopicData const& description, void* userData,
    CommunicationObject* communicationObject, COMMUNICATION_MODE mode) {
    if (reliable) {
        return new StatefulReader(participant, &config, &description, userData, communicationObject,
                                  mode);
    }
    return new StatelessReader(participant, &config, &description, userData, communicationObject,
                               mode);
}

std::unique_ptr<DiscoveryDirectory> ComponentFactory::makeDirectory(ParticipantImpl* participant) {
    BuiltinDiscovery::Settings settings;
    Config const& config = participant->getConfig();
    settings.hostWideIndex = config.hostWideIndex();
    settings.announcePeriodMs = config.spdpAnnouncePeriod();
    settings.leaseMs = config.participantLeaseDuration();
    for (size_t i = 0; i < BUILTIN_TOPIC_COUNT; ++i) {
        if (ReaderHandle reader =
                participant->getReader(builtinReaderId(static_cast<BuiltinTopic>(i)))) {
            settings.readers[i] = reader->asReader();
            settings.histories[i] = &reader->getHistory();
        }
    }
    return std::make_unique<BuiltinDiscovery>(*participant, settings);
}

std::unique_ptr<DsvcLink> ComponentFactory::makeDsvcLink(ParticipantImpl* participant, int) {
    return std::make_unique<DSVCDataTransport>(participant, participant->getCommunicationObject());
}

}  // namespace RTPS
