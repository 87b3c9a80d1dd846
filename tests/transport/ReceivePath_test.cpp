#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FakeParticipant.h"
#include "LoopbackSetup.h"
#include "rtps/io/TransportErrors.h"
#include "transport/RTPSDataTransportImpl.h"
#include "transport/TransportBufferPool.h"

namespace {

using namespace std::chrono_literals;
using RTPS::RTPSDataTransportImpl;
using vexatest::udpLocator;

constexpr uint16_t kPort = 7430;

// Unicast and multicast locators on loopback: every datagram arrives once, in sending order,
// the empty one included.
TEST(ReceivePath, DatagramsArriveInOrder) {
    struct Case {
        const char* name;
        const char* config;
        const char* address;
    } const cases[] = {
        {"unicast", "", "127.0.0.1"},
        {"multicast, interface chosen by the system", "", "239.255.0.1"},
        {"multicast on the loopback interface", "TRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\n",
         "239.255.0.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vexatest::writeTrellisConfig(c.config);
        vexatest::FakeParticipant participant;
        RTPSDataTransportImpl transport(&participant);
        ASSERT_TRUE(transport.init());
        RTPS::Locator_t locator = udpLocator(c.address, kPort);
        ASSERT_NE(transport.addReceiver(&locator), nullptr);

        vexatest::PlainSocket peer;
        std::vector<std::string> sent = {"", std::string(1, '\0')};
        for (int i = 0; i < 50; ++i) {
            sent.push_back("datagram " + std::to_string(i) + std::string(i * 20, 'x'));
        }
        sent.push_back(std::string(60000, 'L'));
        for (const std::string& bytes : sent) {
            ASSERT_TRUE(peer.sendTo(c.address, kPort, bytes));
        }
        ASSERT_TRUE(participant.waitFor(sent.size())) << participant.count() << " arrived";
        EXPECT_EQ(participant.payloads(), sent);
    }
}

// A datagram longer than a receive buffer is dropped, not handed over cut.
TEST(ReceivePath, OversizedDatagramIsDropped) {
    vexatest::writeTrellisConfig("TRANSPORT.BUFFER_SIZE = 1000\n");
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    ASSERT_NE(transport.addReceiver(&locator), nullptr);

    vexatest::PlainSocket peer;
    const std::string exact(1000, 'e');
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, std::string(1001, 'o')));
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, exact));
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, std::string(40000, 'o')));
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, "last"));
    ASSERT_TRUE(participant.waitFor(2));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(participant.payloads(), (std::vector<std::string>{exact, "last"}));
}

// Datagrams queued in the socket while a delivery is held are taken several per receive call:
// with pools smaller and larger than one call takes, they arrive in order and the oversized
// ones among them are dropped without taking a neighbour along.
TEST(ReceivePath, QueuedDatagramsArriveInOrderWhateverThePoolSize) {
    for (const int buffers : {1, 3, 64}) {
        SCOPED_TRACE(buffers);
        vexatest::writeTrellisConfig(
            "TRANSPORT.BUFFER_SIZE = 1000\nTRANSPORT.NUMBER_OF_BUFFERS = " +
            std::to_string(buffers) + "\n");
        vexatest::FakeParticipant participant;
        RTPSDataTransportImpl transport(&participant);
        ASSERT_TRUE(transport.init());
        ASSERT_EQ(transport.getConfig().getNumberOfBuffers(), buffers);
        RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
        ASSERT_NE(transport.addReceiver(&locator), nullptr);
        vexatest::PlainSocket peer;
        participant.close();
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, "held"));
        ASSERT_TRUE(participant.waitHeld());
        std::vector<std::string> expected = {"held"};
        for (int i = 0; i < 30; ++i) {
            if (i % 7 == 3) {
                ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, std::string(1001, 'o')));
            }
            expected.push_back("queued " + std::to_string(i));
            ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, expected.back()));
        }
        participant.open();
        ASSERT_TRUE(participant.waitFor(expected.size())) << participant.count() << " arrived";
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(participant.payloads(), expected);
        EXPECT_EQ(participant.mostInside(), 1);
    }
}

// A participant that throws loses that datagram only; delivery goes on.
TEST(ReceivePath, ParticipantExceptionDoesNotEndDelivery) {
    struct Throwing : vexatest::FakeParticipant {
        void dataRecipient(void* data, unsigned short length) override {
            FakeParticipant::dataRecipient(data, length);
            if (std::string(static_cast<const char*>(data), length) == "bad") {
                throw std::runtime_error("bad datagram");
            }
            if (std::string(static_cast<const char*>(data), length) == "odd") {
                throw 7;
            }
        }
    } participant;
    vexatest::writeTrellisConfig();
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    ASSERT_NE(transport.addReceiver(&locator), nullptr);
    vexatest::PlainSocket peer;
    const std::vector<std::string> sent = {"a", "bad", "b", "odd", "c"};
    for (const std::string& bytes : sent) {
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, bytes));
    }
    ASSERT_TRUE(participant.waitFor(sent.size())) << participant.count() << " arrived";
    EXPECT_EQ(participant.payloads(), sent);
}

// A read thread hands its datagram over itself when nothing waits and nobody delivers. While one
// delivery is held inside the participant, a datagram on another receiver waits for it, and the
// held thread's next datagram comes after the waiting one: one delivery at a time, in the order
// of reporting.
TEST(ReceivePath, DeliveriesStayInOrderAndOneAtATime) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    RTPS::Locator_t first = udpLocator("127.0.0.1", kPort);
    RTPS::Locator_t second = udpLocator("127.0.0.1", kPort + 1);
    ASSERT_NE(transport.addReceiver(&first), nullptr);
    ASSERT_NE(transport.addReceiver(&second), nullptr);
    vexatest::PlainSocket peer;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const std::string name = "r" + std::to_string(round) + "-";
        const size_t before = participant.count();
        participant.close();
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, name + "1"));
        ASSERT_TRUE(participant.waitHeld());
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort + 1, name + "2"));
        // Nothing signals that the second read thread has reported its datagram: give it the
        // time to, or to walk into the participant if it does not wait.
        std::this_thread::sleep_for(50ms);
        // Read by the held thread once it is back from the participant.
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, name + "3"));
        participant.open();
        ASSERT_TRUE(participant.waitFor(before + 3)) << participant.count() << " arrived";
        const std::vector<std::string> all = participant.payloads();
        EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()),
                  (std::vector<std::string>{name + "1", name + "2", name + "3"}));
    }
    EXPECT_EQ(participant.mostInside(), 1);
}

// Runs the destruction on another thread and reports whether it ended within the limit.
std::future<void> destroyAsync(RTPSDataTransportImpl* transport) {
    return std::async(std::launch::async, [transport] { delete transport; });
}

// With select waits of 60 s, stopping must not wait for them: idle read threads, a read thread
// blocked on an exhausted pool and a report thread inside the participant all end promptly.
TEST(ReceivePathStop, EndsBlockedThreadsPromptly) {
    vexatest::writeTrellisConfig("TRANSPORT.NUMBER_OF_BUFFERS = 2\n");
    vexatest::FakeParticipant participant;
    auto* transport = new RTPSDataTransportImpl(&participant);
    ASSERT_TRUE(transport->init());
    RTPS::Locator_t busy = udpLocator("127.0.0.1", kPort);
    RTPS::Locator_t idle = udpLocator("239.255.0.1", kPort);
    ASSERT_NE(transport->addReceiver(&busy), nullptr);
    ASSERT_NE(transport->addReceiver(&idle), nullptr);

    participant.close();
    vexatest::PlainSocket peer;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, "d" + std::to_string(i)));
    }
    ASSERT_TRUE(participant.waitHeld());
    // The read thread holds one buffer in the participant; the other datagrams wait in the
    // socket.
    std::this_thread::sleep_for(100ms);

    const auto start = std::chrono::steady_clock::now();
    std::future<void> destroyed = destroyAsync(transport);
    EXPECT_EQ(destroyed.wait_for(200ms), std::future_status::timeout)
        << "destroyed while a delivery was inside the participant";
    participant.open();
    ASSERT_EQ(destroyed.wait_for(20s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    // Nothing was handed over once stopping began.
    EXPECT_EQ(participant.count(), 1u);
}

TEST(ReceivePathStop, NoDeliveryAfterDestructionUnderLoad) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant participant;
    auto* transport = new RTPSDataTransportImpl(&participant);
    ASSERT_TRUE(transport->init());
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    ASSERT_NE(transport->addReceiver(&locator), nullptr);

    std::atomic<bool> sending{true};
    std::thread flood([&] {
        vexatest::PlainSocket peer;
        while (sending) {
            peer.sendTo("127.0.0.1", kPort, "flood");
        }
    });
    ASSERT_TRUE(participant.waitFor(100));
    // Under load as when idle, stopping does not wait for the socket to fall silent.
    ASSERT_EQ(destroyAsync(transport).wait_for(10s), std::future_status::ready);
    const size_t atEnd = participant.count();
    std::this_thread::sleep_for(50ms);
    sending = false;
    flood.join();
    EXPECT_EQ(participant.count(), atEnd);
}

// Once shutdown has begun nothing is added: a receiver added after the read threads were told to
// stop would never be, and shutdown would wait for it for ever. Shutdown is held here inside the
// receive pool's stop, which waits for a delivery held in the participant.
TEST(ReceivePathStop, AddingDuringShutdownIsRefused) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant participant;
    auto* transport = new RTPSDataTransportImpl(&participant);
    ASSERT_TRUE(transport->init());
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    ASSERT_NE(transport->addReceiver(&locator), nullptr);
    participant.close();
    vexatest::PlainSocket peer;
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, "held"));
    ASSERT_TRUE(participant.waitHeld());

    std::future<void> destroyed = destroyAsync(transport);
    // Nothing signals how far the destruction got: give it the time to reach the pool's stop.
    std::this_thread::sleep_for(100ms);
    RTPS::Locator_t late = udpLocator("127.0.0.1", kPort + 1);
    EXPECT_THROW(transport->addReceiver(&late), RTPS::GeneralAddingError);
    EXPECT_THROW(transport->addSender(&late, RTPS::TRANSPORT_PRIORITY_LOW),
                 RTPS::GeneralAddingError);
    participant.open();
    ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready)
        << "shutdown waits for a receiver it never stopped";
}

TEST(ReceivePool, StoppedPoolGivesNoBuffer) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    RTPS::TransportBufferPool pool(1, 100, &transport);
    ASSERT_TRUE(pool.init(60));
    RTPS::TransportBuffer* only = pool.getBuffer();
    ASSERT_NE(only, nullptr);
    std::future<RTPS::TransportBuffer*> waiting =
        std::async(std::launch::async, [&] { return pool.getBuffer(); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    pool.stop();
    EXPECT_EQ(waiting.get(), nullptr);
    pool.returnBuffer(only);
    EXPECT_EQ(pool.getBuffer(), nullptr);
}

TEST(ReceivePool, RefusesImpossibleSizes) {
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    struct Case {
        unsigned count, size;
        RTPSDataTransportImpl* transport;
    } const cases[] = {
        {0, 100, &transport}, {1, 0, &transport}, {1, 65536, &transport}, {1, 100, nullptr}};
    for (const Case& c : cases) {
        RTPS::TransportBufferPool pool(c.count, c.size, c.transport);
        EXPECT_FALSE(pool.init(1)) << c.count << " x " << c.size;
    }
}

}  // namespace
