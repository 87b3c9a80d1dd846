#include "rtps/discovery/SEDPBuiltinPublicationWriter.h"

#include "rtps/discovery/DiscoveredWriterData.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

int64_t SEDPBuiltinPublicationWriter::addChange(SampleInfo* sample) {
    if (sample == nullptr || sample->data == nullptr ||
        sample->length != sizeof(vexa::dds::PublicationBuiltinTopicData)) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    auto const& publication =
        *static_cast<vexa::dds::PublicationBuiltinTopicData const*>(sample->data);
    auto record = std::make_unique<DiscoveredWriterData>();
    record->publicationData = publication;
    {
        WriterHandle local = m_owner->getWriter(static_cast<int>(publication.key.value[0]));
        if (!local) {
            throw BAD_PARAMETERS("Не найден соответствующий Writer");
        }
        WriterProxyInfo& proxy = record->writerProxy;
        proxy.remoteWriterGuid = local->getGuid();
        if (local->getUnicastLocator().kind != LOCATOR_KIND_INVALID) {
            proxy.unicastLocatorList.push_back(local->getUnicastLocator());
        }
        local->getMulticastLocatorList(proxy.multicastLocatorList);
    }
    GUID_t const guid = record->writerProxy.remoteWriterGuid;
    return replaceAnnouncement<DiscoveredWriterData>(
        *sample, std::move(record),
        [&guid](DiscoveredWriterData const& r) { return r.writerProxy.remoteWriterGuid == guid; });
}

}  // namespace RTPS
