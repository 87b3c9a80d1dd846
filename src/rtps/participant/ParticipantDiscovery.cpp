// The participant's side of discovery (DiscoveryHost): what the discovery directory asks of the
// participant's endpoints, composer, receiver and DSVC link.

#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

namespace {

bool isBuiltinKind(EntityId_t const& id) {
    return (id.entityKind & 0xC0) == 0xC0;
}

}  // namespace

RTPSOutSocket* ParticipantImpl::getSocket(Locator_t& locator) {
    return m_composer ? m_composer->getSocket(locator) : nullptr;
}

void ParticipantImpl::releaseSocket(RTPSOutSocket* socket) {
    MessageComposer::release(socket);
}

void ParticipantImpl::manualResend() {
    if (WriterHandle spdp = builtinWriter(BuiltinTopic::PARTICIPANT)) {
        spdp->manualResend();
    }
}

bool ParticipantImpl::matchRemoteWriter(EntityId_t const& localReader,
                                        WriterProxyInfo const& remote) {
    ReaderHandle reader = getReader(localReader);
    return reader && reader->matchedWriterAdd(remote);
}

bool ParticipantImpl::matchRemoteReader(EntityId_t const& localWriter,
                                        ReaderProxyInfo const& remote) {
    WriterHandle writer = getWriter(localWriter);
    return writer && writer->matchedReaderAdd(remote);
}

void ParticipantImpl::checkMatchedWriter(DiscoveredWriterData const& remote) {
    for (ReaderHandle& r : readerHandles()) {
        if (!isBuiltinKind(r->getGuid().entityId)) {
            r->checkMatchedWriter(&remote);
        }
    }
}

void ParticipantImpl::checkMatchedReader(DiscoveredReaderData const& remote) {
    for (WriterHandle& w : writerHandles()) {
        if (!isBuiltinKind(w->getGuid().entityId)) {
            w->checkMatchedReader(&remote);
        }
    }
}

void ParticipantImpl::addReceiver(Locator_t const& group) {
    Locator_t locator = group;
    if (m_receiver) {
        m_receiver->addReceiver(locator);
    }
}

void ParticipantImpl::reannounceReader(LocalReader* reader) {
    if (reader == nullptr) {
        return;
    }
    RTPS_AdditionalTopicData extra{};
    extra.timestamp = reader->getTimestamp();
    modifyReader(reader, extra, false);
}

void ParticipantImpl::discoveredForDSVC(GUID_t const& reader,
                                        vexa::dds::SubscriptionBuiltinTopicData const& data) {
    if (DsvcLink* link = m_dsvc.get()) {
        link->discoveredForDSVC(reader, data);
    }
}

}  // namespace RTPS
