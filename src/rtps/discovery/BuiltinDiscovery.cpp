#include "rtps/discovery/BuiltinDiscovery.h"

#include <cstdio>

#include "rtps/discovery/DiscoveryHost.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/EndpointsMatch.h"

namespace RTPS {

namespace {

Reader* readerOf(BuiltinDiscovery::Settings const& s, BuiltinTopic topic) {
    return s.readers[positionOf(topic)];
}

HistoryCache* historyOf(BuiltinDiscovery::Settings const& s, BuiltinTopic topic) {
    return s.histories[positionOf(topic)];
}

}  // namespace

std::string BuiltinDiscovery::logName(uint8_t hostWideIndex, EntityId_t const& id) {
    char name[32];
    std::snprintf(name, sizeof name, "P%03u%02x%02x%02x%02x", unsigned{hostWideIndex},
                  unsigned{id.entityKey[0]}, unsigned{id.entityKey[1]}, unsigned{id.entityKey[2]},
                  unsigned{id.entityKind});
    return name;
}

BuiltinDiscovery::BuiltinDiscovery(DiscoveryHost& host, Settings const& s)
    : m_publications(host, readerOf(s, BuiltinTopic::PUBLICATION),
                     logName(s.hostWideIndex, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER),
                     historyOf(s, BuiltinTopic::PUBLICATION)),
      m_subscriptions(host, readerOf(s, BuiltinTopic::SUBSCRIPTION),
                      logName(s.hostWideIndex, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER),
                      historyOf(s, BuiltinTopic::SUBSCRIPTION)),
      m_messages(host.communicationObject(), readerOf(s, BuiltinTopic::PARTICIPANT_MESSAGE),
                 logName(s.hostWideIndex, _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER),
                 historyOf(s, BuiltinTopic::PARTICIPANT_MESSAGE)),
      m_participants(host, readerOf(s, BuiltinTopic::PARTICIPANT),
                     logName(s.hostWideIndex, _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER),
                     s.announcePeriodMs, s.leaseMs, s.clock,
                     historyOf(s, BuiltinTopic::PARTICIPANT)) {
    registerDiscoveryRecordOps();
}

BuiltinDiscovery::~BuiltinDiscovery() {
    m_participants.stop();
}

void BuiltinDiscovery::stop() {
    m_participants.stop();
}

void BuiltinDiscovery::alive(uint8_t const* guidPrefix) {
    m_participants.alive(guidPrefix);
}

void BuiltinDiscovery::removeParticipant(uint8_t const* guidPrefix) {
    m_participants.deleteChange(guidPrefix);
}

bool BuiltinDiscovery::getWriterDCPSConfig(GUID_t const& writer,
                                           vexa::dds::PublicationBuiltinTopicData& out) {
    return m_publications.getWriterDCPSConfig(writer, out);
}

void BuiltinDiscovery::getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                                         std::vector<ReaderProxyInfo>& out) {
    m_subscriptions.getMatchedReaders(publication, out);
}

void BuiltinDiscovery::getMatchedWriters(
    vexa::dds::SubscriptionBuiltinTopicData const& subscription,
    std::vector<WriterProxyInfo>& out) {
    m_publications.getMatchedWriters(subscription, out);
}

bool BuiltinDiscovery::getReaderConfig(GUID_t const& reader,
                                       vexa::dds::SubscriptionBuiltinTopicData& out) {
    return m_subscriptions.getReaderConfig(reader, out);
}

void BuiltinDiscovery::getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) {
    m_subscriptions.getReaderLocators(reader, out);
}

bool BuiltinDiscovery::endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                                      vexa::dds::SubscriptionBuiltinTopicData const& subscription) {
    return RTPS::endpointsMatch(&publication, &subscription);
}

bool BuiltinDiscovery::decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload,
                                         uint32_t length, CacheChange* change) {
    return decodeBuiltinRecord(writerId, payload, length, change);
}

CacheChange* BuiltinDiscovery::addBuiltinChange(BuiltinTopic topic, CacheChange* change) {
    switch (topic) {
        case BuiltinTopic::PARTICIPANT:
            return m_participants.addChange(change);
        case BuiltinTopic::PUBLICATION:
            return m_publications.addChange(change);
        case BuiltinTopic::SUBSCRIPTION:
            return m_subscriptions.addChange(change);
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            return m_messages.addChange(change);
        case BuiltinTopic::TOPIC:
            break;
    }
    // Remote topics are the topic reader's own: nothing to match.
    return nullptr;
}

void BuiltinDiscovery::removeRemoteRecords(GUID_t const& remote) {
    m_publications.removeRecords(remote);
    m_subscriptions.removeRecords(remote);
}

}  // namespace RTPS
