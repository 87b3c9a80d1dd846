#include "transport/RTPSDataTransportImpl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "FakeParticipant.h"
#include "LoopbackSetup.h"
#include "rtps/io/TransportErrors.h"

namespace {

using namespace std::chrono_literals;
using RTPS::Locator_t;
using RTPS::RTPSDataTransportImpl;
using vexatest::udpLocator;

class TransportObject : public ::testing::Test {
protected:
    void SetUp() override {
        vexatest::writeTrellisConfig();
        transport.reset(new RTPSDataTransportImpl(&participant));
        ASSERT_TRUE(transport->init());
    }
    vexatest::FakeParticipant participant;
    std::unique_ptr<RTPSDataTransportImpl> transport;
};

// Runs the destruction on another thread; false when it has not finished in time.
bool destroyedWithin(RTPS::RTPSDataTransport* transport, std::chrono::seconds limit) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([transport, done] {
        delete transport;
        done->set_value();
    }).detach();
    return finished.wait_for(limit) == std::future_status::ready;
}

TEST(TransportLifecycle, GetTransportGivesAnUninitialisedTransport) {
    vexatest::FakeParticipant participant;
    std::unique_ptr<RTPS::RTPSDataTransport> transport(RTPS::getTransport(&participant));
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->getMaxDataSize(), 65507);
    EXPECT_EQ(transport->getTransportBuffer(), nullptr);
    Locator_t locator = udpLocator("127.0.0.1", 7411);
    EXPECT_THROW(transport->addReceiver(&locator), RTPS::GeneralAddingError);
    EXPECT_THROW(transport->addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW),
                 RTPS::GeneralAddingError);
}

TEST(TransportLifecycle, DestroyingWithoutASuccessfulInitIsQuick) {
    vexatest::writeTrellisConfig();
    RTPS::RTPSDataTransport* neverInitialised = RTPS::getTransport(nullptr);
    EXPECT_TRUE(destroyedWithin(neverInitialised, 5s));

    RTPS::RTPSDataTransport* failedInit = RTPS::getTransport(nullptr);
    EXPECT_FALSE(failedInit->init());
    EXPECT_TRUE(destroyedWithin(failedInit, 5s));
}

TEST_F(TransportObject, RefusesLocatorsItCannotServe) {
    const Locator_t cases[] = {
        udpLocator("127.0.0.1", 7411, RTPS::LOCATOR_KIND_INVALID),
        udpLocator("127.0.0.1", 7411, RTPS::LOCATOR_KIND_UDPv6),
        udpLocator("127.0.0.1", 0),
        udpLocator("127.0.0.1", 65536),
        udpLocator("0.0.0.0", 7411),
    };
    for (Locator_t locator : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << locator.kind << " port " << locator.port);
        EXPECT_THROW(transport->addReceiver(&locator), RTPS::WrongLocator);
        EXPECT_THROW(transport->addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW),
                     RTPS::WrongLocator);
    }
    EXPECT_THROW(transport->addReceiver(nullptr), RTPS::WrongLocator);
    EXPECT_THROW(transport->addSender(nullptr, RTPS::TRANSPORT_PRIORITY_LOW), RTPS::WrongLocator);
}

TEST_F(TransportObject, SameReceiverLocatorOpensOneSocket) {
    Locator_t locator = udpLocator("127.0.0.1", 7411);
    RTPS::RTPSReceiver* first = transport->addReceiver(&locator);
    const int descriptors = vexatest::openDescriptors();
    EXPECT_EQ(transport->addReceiver(&locator), first);
    EXPECT_EQ(vexatest::openDescriptors(), descriptors);

    Locator_t otherPort = udpLocator("127.0.0.1", 7412);
    EXPECT_NE(transport->addReceiver(&otherPort), first);
}

TEST_F(TransportObject, ExistingSenderKeepsItsFirstLevel) {
    Locator_t locator = udpLocator("127.0.0.1", 7411);
    auto* first = dynamic_cast<RTPS::RTPSSenderImpl*>(
        transport->addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(transport->addSender(&locator, RTPS::TRANSPORT_PRIORITY_HIGH), first);
    EXPECT_EQ(first->getLevel(), RTPS::TRANSPORT_PRIORITY_LOW);
}

// A sender the engine gives back closes its descriptor and is forgotten; the destination gets
// a new one when it is asked for again.
TEST_F(TransportObject, RemovedSenderClosesItsDescriptor) {
    const int descriptors = vexatest::openDescriptors();
    const size_t senders = transport->senderCount();
    std::vector<RTPS::RTPSSender*> added;
    for (uint32_t port = 7420; port < 7430; ++port) {
        Locator_t locator = udpLocator("127.0.0.1", port);
        added.push_back(transport->addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW));
        ASSERT_NE(added.back(), nullptr);
    }
    EXPECT_EQ(vexatest::openDescriptors(), descriptors + 10);
    for (RTPS::RTPSSender* sender : added) {
        transport->removeSender(sender);
    }
    transport->removeSender(nullptr);
    EXPECT_EQ(vexatest::openDescriptors(), descriptors);
    EXPECT_EQ(transport->senderCount(), senders);

    Locator_t again = udpLocator("127.0.0.1", 7420);
    EXPECT_NE(transport->addSender(&again, RTPS::TRANSPORT_PRIORITY_LOW), nullptr);
    EXPECT_EQ(vexatest::openDescriptors(), descriptors + 1);
}

// Locators whose socket cannot be set up: nothing is kept, and asking again fails again rather
// than handing out a deaf receiver.
TEST(TransportFailedReceivers, AreRemovedAndRefused) {
    struct Case {
        const char* name;
        const char* config;
        const char* address;
    } const cases[] = {
        {"address of no interface", "", "10.11.12.13"},
        {"group join on a foreign interface", "TRANSPORT.MULTICAST_INTERFACE = 10.11.12.13\n",
         "239.255.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vexatest::writeTrellisConfig(c.config);
        vexatest::FakeParticipant participant;
        RTPSDataTransportImpl transport(&participant);
        ASSERT_TRUE(transport.init());
        Locator_t locator = udpLocator(c.address, 7400);
        // The first failure may open the log file; later ones must leave no descriptor behind.
        EXPECT_THROW(transport.addReceiver(&locator), RTPS::WrongLocator);
        const int descriptors = vexatest::openDescriptors();
        EXPECT_THROW(transport.addReceiver(&locator), RTPS::WrongLocator);
        EXPECT_THROW(transport.addReceiver(&locator), RTPS::WrongLocator);
        EXPECT_EQ(vexatest::openDescriptors(), descriptors);
    }
}

TEST(TransportFailedSenders, MulticastOnAForeignInterfaceGivesNull) {
    vexatest::writeTrellisConfig("TRANSPORT.MULTICAST_INTERFACE = 10.11.12.13\n");
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    Locator_t group = udpLocator("239.255.0.1", 7400);
    EXPECT_EQ(transport.addSender(&group, RTPS::TRANSPORT_PRIORITY_LOW), nullptr);
    Locator_t unicast = udpLocator("127.0.0.1", 7400);
    EXPECT_NE(transport.addSender(&unicast, RTPS::TRANSPORT_PRIORITY_LOW), nullptr);
}

}  // namespace
