#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ManualClock.h"
#include "ParticipantFakes.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/SubmessageDecoder.h"
#include "rtps/wire/SubmessageKind.h"
#include "rtps/writer/StatefulWriter.h"

using namespace participant_test;

namespace {

// The engine's own writers over the fakes of everything else.
class RealWriterFactory : public FakeFactory {
public:
    RTPS::LocalWriter* makeWriter(bool reliable, RTPS::ParticipantImpl* p,
                                  RTPS::EndpointConfig const& config,
                                  vexa::dds::PublicationBuiltinTopicData const& description,
                                  int32_t priority) override {
        return RTPS::ComponentFactory::makeWriter(reliable, p, config, description, priority);
    }
};

std::vector<uint32_t> dataSent(FakeTransport& transport) {
    std::vector<uint32_t> out;
    for (size_t i = 0; FakeSender* s = transport.sender(i); ++i) {
        for (SentDatagram const& d : s->sent()) {
            RTPS::DatagramWalker w(d.bytes.data(), d.bytes.size());
            RTPS::SubmessageSpan span;
            while (w.next(span)) {
                RTPS::DataFields f;
                if (span.kind == RTPS::DATA && RTPS::decodeData(span, f) && !f.keyOnly) {
                    out.push_back(f.writerSN.low);
                }
            }
        }
    }
    return out;
}

// A reliable user writer made by the participant: matched with the reader discovery knows,
// driven by the participant's scheduler, acknowledged through the participant's routing.
TEST(ReliableWriterInParticipant, WritesToTheKnownReaderAndCountsAsDeliveredOnceAcknowledged) {
    ScratchDir dir;
    NullCommunicationObject comm;
    vexa::dds::ParticipantBuiltinTopicData own = ownData();
    auto factory = std::make_shared<RealWriterFactory>();
    auto clock = std::make_shared<ManualClock>();
    factory->clock = clock;
    RTPS::DiscoveredReaderData remote;
    remote.subscriptionData.topic_name = "Temp";
    remote.readerProxy.remoteReaderGuid = remoteGuid(0x61, 0x07);
    RTPS::Locator_t at{RTPS::LOCATOR_KIND_UDPv4, 7611, {}};
    RTPS::strToLoc(&at, "127.0.0.1");
    remote.readerProxy.unicastLocatorList.push_back(at);
    factory->remoteReaders.push_back(remote);

    auto p = std::make_unique<RTPS::ParticipantImpl>(&comm, 0, &own, 0, false, factory);
    auto pub = publication("Temp", 0x21);
    RTPS::Writer* w =
        p->addWriter(&pub, RTPS::RTPS_AdditionalTopicData{{5, 6}, 0}, RTPS::TOPIC_KIND_NO_KEY, 0);
    auto* writer = dynamic_cast<RTPS::StatefulWriter*>(w);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->matchedReaderCount(), 1u);

    std::vector<uint8_t> bytes(24, 0x5A);
    RTPS::SampleInfo sample{};
    sample.data = bytes.data();
    sample.length = bytes.size();
    EXPECT_EQ(w->addChange(&sample), 0x0000000100000000);
    clock->waitIdle();
    EXPECT_EQ(dataSent(*factory->transport), std::vector<uint32_t>{1});
    std::vector<RTPS::Writer*> writers{w};
    EXPECT_EQ(p->checkDelivery(writers, vexa::dds::Duration_t{0, 0}), 0);

    RTPS::AckNAckData ack;
    ack.readerGUID = remote.readerProxy.remoteReaderGuid;
    ack.writerGUID = writer->getGuid();
    ack.readerSNState.bitmapBase = {0, 2};
    ack.count = 1;
    EXPECT_TRUE(p->acknackToWriter(&ack));
    EXPECT_EQ(p->checkDelivery(writers, vexa::dds::Duration_t{0, 0}), 1);
    w->close();
}

}  // namespace
