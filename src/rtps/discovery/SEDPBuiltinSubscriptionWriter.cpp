#include "rtps/discovery/SEDPBuiltinSubscriptionWriter.h"

#include "rtps/discovery/DiscoveredReaderData.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

int64_t SEDPBuiltinSubscriptionWriter::addChange(SampleInfo* sample) {
    if (sample == nullptr || sample->data == nullptr ||
        sample->length != sizeof(vexa::dds::SubscriptionBuiltinTopicData)) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    auto const& subscription =
        *static_cast<vexa::dds::SubscriptionBuiltinTopicData const*>(sample->data);
    auto record = std::make_unique<DiscoveredReaderData>();
    record->subscriptionData = subscription;
    {
        ReaderHandle local = m_owner->getReader(static_cast<int>(subscription.key.value[0]));
        if (!local) {
            throw BAD_PARAMETERS("Не найден соответствующий Reader");
        }
        ReaderProxyInfo& proxy = record->readerProxy;
        proxy.remoteReaderGuid = local->getGuid();
        proxy.expectsInlineQos = true;
        if (local->getUnicastLocator().kind != LOCATOR_KIND_INVALID) {
            proxy.unicastLocatorList.push_back(local->getUnicastLocator());
        }
        local->getMulticastLocatorList(proxy.multicastLocatorList);
    }
    GUID_t const guid = record->readerProxy.remoteReaderGuid;
    return replaceAnnouncement<DiscoveredReaderData>(
        *sample, std::move(record),
        [&guid](DiscoveredReaderData const& r) { return r.readerProxy.remoteReaderGuid == guid; });
}

}  // namespace RTPS
