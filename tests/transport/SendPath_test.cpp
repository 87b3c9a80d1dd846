#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FakeParticipant.h"
#include "LoopbackSetup.h"
#include "common/os/OsTime.h"
#include "rtps/io/TransportErrors.h"
#include "transport/InputBufferPool.h"
#include "transport/RTPSDataTransportImpl.h"

namespace {

using namespace std::chrono_literals;
using RTPS::RTPSDataTransportImpl;
using RTPS::TransportBuffer;
using vexatest::udpLocator;

constexpr uint16_t kPort = 7420;

class SendPath : public ::testing::Test {
protected:
    void SetUp() override {
        vexatest::writeTrellisConfig();
        transport.reset(new RTPSDataTransportImpl(&participant));
        ASSERT_TRUE(transport->init());
    }

    RTPS::RTPSSender* sender(const char* address, RTPS::TransportPriorityLevel level) {
        RTPS::Locator_t locator = udpLocator(address, kPort);
        return transport->addSender(&locator, level);
    }

    void send(RTPS::RTPSSender* to, const std::string& bytes, RTPS::TransportPriorityLevel level) {
        TransportBuffer* buffer = transport->getTransportBuffer();
        ASSERT_NE(buffer, nullptr);
        std::memcpy(buffer->data, bytes.data(), bytes.size());
        buffer->length = static_cast<uint16_t>(bytes.size());
        to->sendData(buffer, level);
    }

    vexatest::FakeParticipant participant;
    std::unique_ptr<RTPSDataTransportImpl> transport;
};

// Runs f on a thread of its own and waits for it: a thread that holds the dispatcher must not
// send itself (a send tries the mutex it holds).
void onOtherThread(const std::function<void()>& f) {
    std::thread(f).join();
}

// Two destinations on loopback, both read by one socket bound to every address, so the order
// of arrival is the order of sending.
TEST_F(SendPath, HighPriorityFirstAndLowPriorityInTurns) {
    struct Step {
        char sender;  // 'a' or 'b'
        const char* bytes;
        RTPS::TransportPriorityLevel level;
    };
    struct Case {
        const char* name;
        RTPS::TransportPriorityLevel levelOfA;
        std::vector<Step> steps;
        std::vector<std::string> expected;
    };
    const auto LOW = RTPS::TRANSPORT_PRIORITY_LOW;
    const auto HIGH = RTPS::TRANSPORT_PRIORITY_HIGH;
    const Case cases[] = {
        {"high before the queued low ones, low ones alternate",
         LOW,
         {{'a', "a1", LOW},
          {'a', "a2", LOW},
          {'a', "a3", LOW},
          {'b', "b1", LOW},
          {'b', "b2", LOW},
          {'b', "b3", LOW},
          {'b', "h", HIGH}},
         {"h", "a1", "b1", "a2", "b2", "a3", "b3"}},
        {"a high-priority sender queues everything as high",
         HIGH,
         {{'b', "b1", LOW}, {'a', "a1", LOW}, {'a', "a2", LOW}, {'b', "b2", LOW}},
         {"a1", "a2", "b1", "b2"}},
    };
    const char* addresses[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
    int next = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vexatest::PlainSocket observer("0.0.0.0", kPort);
        ASSERT_TRUE(observer.bound);
        RTPS::RTPSSender* a = sender(addresses[next++], c.levelOfA);
        RTPS::RTPSSender* b = sender(addresses[next++], LOW);
        ASSERT_TRUE(a != nullptr && b != nullptr);
        {
            auto held = transport->holdDispatcher();
            onOtherThread([&] {
                for (const Step& step : c.steps) {
                    send(step.sender == 'a' ? a : b, step.bytes, step.level);
                }
            });
        }
        std::vector<std::string> arrived;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            arrived.push_back(observer.receive());
        }
        EXPECT_EQ(arrived, c.expected);
    }
}

// A send on the caller's thread must not overtake what is queued: with datagrams queued while
// the dispatcher was held, the next send right after the release queues behind them although
// the senders' mutex is free until the dispatcher gets to it.
TEST_F(SendPath, SendAfterQueuedDatagramsDoesNotOvertakeThem) {
    vexatest::PlainSocket observer("127.0.0.1", kPort);
    ASSERT_TRUE(observer.bound);
    RTPS::RTPSSender* to = sender("127.0.0.1", RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(to, nullptr);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const std::string name = "r" + std::to_string(round) + "-";
        auto held = transport->holdDispatcher();
        onOtherThread([&] {
            for (int i = 1; i <= 3; ++i) {
                send(to, name + std::to_string(i), RTPS::TRANSPORT_PRIORITY_LOW);
            }
        });
        held.unlock();
        send(to, name + "4", RTPS::TRANSPORT_PRIORITY_LOW);
        std::vector<std::string> arrived;
        for (int i = 0; i < 4; ++i) {
            arrived.push_back(observer.receive());
        }
        EXPECT_EQ(arrived,
                  (std::vector<std::string>{name + "1", name + "2", name + "3", name + "4"}));
    }
    // With nothing queued a send goes out at once, on this thread.
    send(to, "alone", RTPS::TRANSPORT_PRIORITY_HIGH);
    EXPECT_EQ(observer.receive(), "alone");
}

// A caller that finds datagrams queued and the senders free makes the dispatcher's pass itself:
// queued high-priority ones first, then the low ones in turns, its own last in its queue. The
// dispatcher, woken by the queued ones, races it for the pass; the order is the same whoever
// wins.
TEST_F(SendPath, CallerDrainingTheQueuesKeepsTheirOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<char, const char*>> queued;  // sender and bytes; 'h' high on b
        std::vector<std::string> expected;                 // the caller's "own" on a, last
    };
    const Case cases[] = {
        {"own queue only", {{'a', "a1"}, {'a', "a2"}}, {"a1", "a2", "own"}},
        {"high first, then low ones in turns",
         {{'a', "a1"}, {'b', "b1"}, {'a', "a2"}, {'h', "h1"}, {'h', "h2"}},
         {"h1", "h2", "a1", "b1", "a2", "own"}},
        {"a high one queued after the own queue's",
         {{'a', "a1"}, {'h', "h1"}},
         {"h1", "a1", "own"}},
    };
    vexatest::PlainSocket observer("0.0.0.0", kPort);
    ASSERT_TRUE(observer.bound);
    RTPS::RTPSSender* a = sender("127.0.0.2", RTPS::TRANSPORT_PRIORITY_LOW);
    RTPS::RTPSSender* b = sender("127.0.0.3", RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int round = 0; round < 10; ++round) {
            SCOPED_TRACE(round);
            auto held = transport->holdDispatcher();
            onOtherThread([&] {
                for (const auto& q : c.queued) {
                    send(q.first == 'a' ? a : b, q.second,
                         q.first == 'h' ? RTPS::TRANSPORT_PRIORITY_HIGH
                                        : RTPS::TRANSPORT_PRIORITY_LOW);
                }
            });
            held.unlock();
            send(a, "own", RTPS::TRANSPORT_PRIORITY_LOW);
            std::vector<std::string> arrived;
            for (size_t i = 0; i < c.expected.size(); ++i) {
                arrived.push_back(observer.receive());
            }
            EXPECT_EQ(arrived, c.expected);
        }
    }
}

// Voluntary context switches of the given threads of this process.
long switchesOf(const std::set<std::string>& threads) {
    long total = 0;
    for (const std::string& tid : threads) {
        std::FILE* file = std::fopen(("/proc/self/task/" + tid + "/status").c_str(), "r");
        if (file == nullptr) {
            continue;
        }
        char line[256];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            long n = 0;
            if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &n) == 1) {
                total += n;
            }
        }
        std::fclose(file);
    }
    return total;
}

std::set<std::string> threadsOfProcess() {
    std::set<std::string> threads;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                threads.insert(entry->d_name);
            }
        }
        closedir(dir);
    }
    return threads;
}

// With a datagram queued that no pass takes out (a sender the transport does not own), every
// send finds the queues not empty; with the senders free it still goes out on the caller's
// thread before sendData returns, and the transport's threads are not woken for it.
TEST(SendPathCaller, SendsItselfWithoutWakingTheDispatcher) {
    vexatest::writeTrellisConfig();
    vexatest::PlainSocket observer("127.0.0.1", kPort);
    ASSERT_TRUE(observer.bound);
    vexatest::FakeParticipant participant;
    const std::set<std::string> before = threadsOfProcess();
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    std::set<std::string> ownThreads;
    for (const std::string& tid : threadsOfProcess()) {
        if (before.count(tid) == 0) {
            ownThreads.insert(tid);
        }
    }
    ASSERT_FALSE(ownThreads.empty());
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    RTPS::RTPSSender* to = transport.addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(to, nullptr);
    auto sendBytes = [&](RTPS::RTPSSender* through, const std::string& bytes) {
        TransportBuffer* buffer = transport.getTransportBuffer();
        ASSERT_NE(buffer, nullptr);
        std::memcpy(buffer->data, bytes.data(), bytes.size());
        buffer->length = static_cast<uint16_t>(bytes.size());
        through->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
    };
    std::unique_ptr<RTPS::RTPSSenderImpl> loose(
        new RTPS::RTPSSenderImpl(&locator, &transport, RTPS::TRANSPORT_PRIORITY_LOW));
    ASSERT_TRUE(loose->init());
    {
        auto held = transport.holdDispatcher();
        onOtherThread([&] { sendBytes(loose.get(), "stuck"); });
    }
    // Whatever the queued one woke has gone back to sleep.
    std::this_thread::sleep_for(100ms);
    const long switchesBefore = switchesOf(ownThreads);
    int late = 0;
    for (int i = 0; i < 50; ++i) {
        const std::string bytes = "d" + std::to_string(i);
        sendBytes(to, bytes);
        char got[64];
        const ssize_t n = recv(observer.fd(), got, sizeof got, MSG_DONTWAIT);
        if (n < 0) {
            ++late;
            EXPECT_EQ(observer.receive(), bytes);
        } else {
            EXPECT_EQ(std::string(got, static_cast<size_t>(n)), bytes);
        }
    }
    EXPECT_EQ(late, 0) << "datagrams left after sendData returned";
    EXPECT_LE(switchesOf(ownThreads) - switchesBefore, 2)
        << "the transport's threads were woken for sends the caller made";
    loose.reset();
}

// Once shutdown has begun a caller that finds the senders free sends nothing, neither its own
// datagram nor what is queued. Shutdown is held inside the receive pool's stop, which waits
// for a delivery held in the participant, while the senders still exist.
TEST(SendPathCaller, SendsNothingOnceShutdownBegan) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant participant;
    auto* transport = new RTPSDataTransportImpl(&participant);
    ASSERT_TRUE(transport->init());
    RTPS::Locator_t held = udpLocator("127.0.0.1", kPort);
    ASSERT_NE(transport->addReceiver(&held), nullptr);
    vexatest::PlainSocket observer("127.0.0.1", kPort + 1);
    ASSERT_TRUE(observer.bound);
    timeval shortWait{0, 300000};
    setsockopt(observer.fd(), SOL_SOCKET, SO_RCVTIMEO, &shortWait, sizeof shortWait);
    RTPS::Locator_t destination = udpLocator("127.0.0.1", kPort + 1);
    RTPS::RTPSSender* to = transport->addSender(&destination, RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(to, nullptr);
    TransportBuffer* buffers[2] = {transport->getTransportBuffer(),
                                   transport->getTransportBuffer()};
    for (TransportBuffer* buffer : buffers) {
        ASSERT_NE(buffer, nullptr);
        std::memcpy(buffer->data, "late", 4);
        buffer->length = 4;
    }

    participant.close();
    vexatest::PlainSocket peer;
    ASSERT_TRUE(peer.sendTo("127.0.0.1", kPort, "held"));
    ASSERT_TRUE(participant.waitHeld());
    std::future<void> destroyed = std::async(std::launch::async, [transport] { delete transport; });
    // Nothing signals how far the destruction got: give it the time to reach the pool's stop.
    std::this_thread::sleep_for(100ms);
    to->sendData(buffers[0], RTPS::TRANSPORT_PRIORITY_HIGH);
    to->sendData(buffers[1], RTPS::TRANSPORT_PRIORITY_LOW);
    EXPECT_EQ(observer.receive(), "<none>");
    participant.open();
    ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready);
}

TEST_F(SendPath, EmptyOrMissingDataIsRefusedAndNotQueued) {
    vexatest::PlainSocket observer("127.0.0.1", kPort);
    ASSERT_TRUE(observer.bound);
    RTPS::RTPSSender* to = sender("127.0.0.1", RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(to, nullptr);
    TransportBuffer* buffer = transport->getTransportBuffer();
    ASSERT_NE(buffer, nullptr);
    uint8_t* const data = buffer->data;
    struct Case {
        const char* name;
        uint8_t* data;
        uint16_t length;
    } const cases[] = {{"length 0", data, 0}, {"no data", nullptr, 10}};
    {
        // A refused buffer that was queued all the same would wait here, and leave ahead of
        // "after" once it holds bytes again.
        auto held = transport->holdDispatcher();
        onOtherThread([&] {
            for (const Case& c : cases) {
                SCOPED_TRACE(c.name);
                buffer->data = c.data;
                buffer->length = c.length;
                EXPECT_THROW(to->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW), RTPS::WrongData);
            }
            EXPECT_THROW(to->sendData(nullptr, RTPS::TRANSPORT_PRIORITY_HIGH), RTPS::WrongData);
            buffer->data = data;
            std::memcpy(buffer->data, "refused", 7);
            buffer->length = 7;
            send(to, "after", RTPS::TRANSPORT_PRIORITY_LOW);
        });
    }
    EXPECT_EQ(observer.receive(), "after");
    // Still the caller's: it can be given back, and then all 16 can be taken at once.
    transport->freeTransportBuffer(buffer);
    std::set<TransportBuffer*> taken;
    for (int i = 0; i < 16; ++i) {
        taken.insert(transport->getTransportBuffer());
    }
    EXPECT_EQ(taken.size(), 16u);
    for (TransportBuffer* b : taken) {
        transport->freeTransportBuffer(b);
    }
}

TEST_F(SendPath, MulticastDestinationsGetTtlAndInterface) {
    struct Case {
        const char* address;
        int ttl;
        in_addr_t interface;
    } const cases[] = {
        {"239.255.0.1", 8, htonl(INADDR_ANY)},
        {"127.0.0.1", 1, htonl(INADDR_ANY)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        auto* to =
            dynamic_cast<RTPS::RTPSSenderImpl*>(sender(c.address, RTPS::TRANSPORT_PRIORITY_LOW));
        ASSERT_NE(to, nullptr);
        unsigned char ttl = 0;
        socklen_t length = sizeof ttl;
        ASSERT_EQ(getsockopt(to->getSocket(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, &length), 0);
        EXPECT_EQ(ttl, c.ttl);
        in_addr interface {};
        length = sizeof interface;
        ASSERT_EQ(getsockopt(to->getSocket(), IPPROTO_IP, IP_MULTICAST_IF, &interface, &length), 0);
        EXPECT_EQ(interface.s_addr, c.interface);
    }
}

TEST(SendPathInterface, ConfiguredMulticastInterfaceIsUsed) {
    vexatest::writeTrellisConfig("TRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\n");
    vexatest::FakeParticipant participant;
    RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());
    RTPS::Locator_t group = udpLocator("239.255.0.1", kPort);
    auto* to = dynamic_cast<RTPS::RTPSSenderImpl*>(
        transport.addSender(&group, RTPS::TRANSPORT_PRIORITY_LOW));
    ASSERT_NE(to, nullptr);
    in_addr interface {};
    socklen_t length = sizeof interface;
    ASSERT_EQ(getsockopt(to->getSocket(), IPPROTO_IP, IP_MULTICAST_IF, &interface, &length), 0);
    EXPECT_EQ(interface.s_addr, htonl(INADDR_LOOPBACK));
}

// A sender that goes away with datagrams still queued gives their buffers back.
TEST_F(SendPath, DestroyedSenderReturnsItsQueuedBuffers) {
    RTPS::Locator_t locator = udpLocator("127.0.0.1", kPort);
    // Not registered with the transport, so the dispatcher never empties its queues.
    std::unique_ptr<RTPS::RTPSSenderImpl> loose(
        new RTPS::RTPSSenderImpl(&locator, transport.get(), RTPS::TRANSPORT_PRIORITY_LOW));
    ASSERT_TRUE(loose->init());
    {
        // Held, so that every send queues instead of going out at once.
        auto held = transport->holdDispatcher();
        onOtherThread([&] {
            for (int i = 0; i < 16; ++i) {
                send(loose.get(), "x",
                     i % 2 ? RTPS::TRANSPORT_PRIORITY_HIGH : RTPS::TRANSPORT_PRIORITY_LOW);
            }
        });
        loose.reset();
    }
    std::set<TransportBuffer*> taken;
    for (int i = 0; i < 16; ++i) {
        taken.insert(transport->getTransportBuffer());
    }
    EXPECT_EQ(taken.size(), 16u);
    EXPECT_EQ(taken.count(nullptr), 0u);
}

// Sends spaced at random must each go out and arrive at once: a lost wake-up of the dispatcher
// or of the report thread would hold a datagram for their 60 s idle wait. Four threads send
// through two senders to two receivers, so that sends meet a busy sender and arrivals a busy
// delivery and go through the queues; each waits for its datagram before its next pause, so a
// lost wake-up is a stall of that wait rather than a delay that the next send ends.
void sendSpacedAtRandom(const char* address) {
    vexatest::writeTrellisConfig();
    vexatest::FakeParticipant receiving;
    RTPSDataTransportImpl sink(&receiving);
    ASSERT_TRUE(sink.init());
    RTPS::Locator_t locators[2] = {udpLocator(address, kPort), udpLocator(address, kPort + 1)};
    vexatest::FakeParticipant unused;
    RTPSDataTransportImpl source(&unused);
    ASSERT_TRUE(source.init());
    RTPS::RTPSSender* senders[2] = {};
    for (int s = 0; s < 2; ++s) {
        ASSERT_NE(sink.addReceiver(&locators[s]), nullptr);
        senders[s] = source.addSender(&locators[s], RTPS::TRANSPORT_PRIORITY_LOW);
        ASSERT_NE(senders[s], nullptr);
    }

    constexpr int kThreads = 8;
    constexpr int kCount = 200;  // per thread
    std::atomic<int> stalled{-1};
    auto producer = [&](int t) {
        std::mt19937 random(12345 + t);
        std::uniform_int_distribution<int> pause(0, 100);
        for (int n = 0; n < kCount && stalled < 0; ++n) {
            const int i = t * kCount + n;
            TransportBuffer* buffer = source.getTransportBuffer();
            if (buffer == nullptr) {
                stalled = i;
                return;
            }
            std::memcpy(buffer->data, &i, sizeof i);
            buffer->length = sizeof i;
            senders[t % 2]->sendData(
                buffer, i % 7 == 0 ? RTPS::TRANSPORT_PRIORITY_HIGH : RTPS::TRANSPORT_PRIORITY_LOW);
            const std::string bytes(reinterpret_cast<const char*>(&i), sizeof i);
            // Far above any scheduling delay, far below the idle waits.
            if (!receiving.waitUntil(
                    [&](const std::vector<vexatest::FakeParticipant::Datagram>& all) {
                        return std::any_of(all.rbegin(), all.rend(),
                                           [&](const auto& d) { return d.bytes == bytes; });
                    },
                    2s)) {
                stalled = i;
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        }
    };
    // A stream to a third destination keeps the senders busy, so that sends find a pass or
    // another send under way and queue, and passes end and begin all the time.
    vexatest::PlainSocket sinkOfNoise("127.0.0.1", kPort + 2);
    RTPS::Locator_t noiseLocator = udpLocator("127.0.0.1", kPort + 2);
    RTPS::RTPSSender* noise = source.addSender(&noiseLocator, RTPS::TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(noise, nullptr);
    std::atomic<int> producing{kThreads};
    std::thread noiseThread([&] {
        while (producing > 0) {
            TransportBuffer* buffer = source.getTransportBuffer();
            if (buffer == nullptr) {
                return;
            }
            buffer->length = 1;
            noise->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
        }
    });
    std::vector<std::thread> others;
    for (int t = 1; t < kThreads; ++t) {
        others.emplace_back([&, t] {
            producer(t);
            --producing;
        });
    }
    producer(0);
    --producing;
    for (std::thread& t : others) {
        t.join();
    }
    noiseThread.join();
    EXPECT_EQ(stalled.load(), -1) << "datagram " << stalled.load() << " did not arrive within 2 s";
    EXPECT_EQ(receiving.count(), static_cast<size_t>(kThreads * kCount));
}

TEST(SendPathNoStall, RandomlySpacedSendsAllArrivePromptly) {
    for (const char* address : {"127.0.0.1", "239.255.0.3"}) {
        SCOPED_TRACE(address);
        sendSpacedAtRandom(address);
    }
}

TEST(SendPool, EmptyPoolWaitsUntilBuffersComeBack) {
    RTPS::InputBufferPool pool(4);
    std::vector<TransportBuffer*> lent;
    for (int i = 0; i < 4; ++i) {
        lent.push_back(pool.getTransportBuffer());
        ASSERT_NE(lent.back(), nullptr);
        EXPECT_EQ(lent.back()->length, 0);
    }
    std::atomic<TransportBuffer*> got{nullptr};
    std::atomic<bool> returned{false};
    std::thread taker([&] {
        got = pool.getTransportBuffer();
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned) << "took a buffer from an empty pool";
    pool.freeTransportBuffer(lent[1]);
    pool.freeTransportBuffer(lent[2]);
    taker.join();
    EXPECT_TRUE(got == lent[1] || got == lent[2]);
}

// A waiter is woken only once two buffers are free, so a single returned one is found by the
// waiter's next look, one wait step later: well within a second, where a waiter that only
// waited for a wake would wait for ever.
TEST(SendPool, SingleReturnedBufferIsTakenWithinAWaitStep) {
    RTPS::InputBufferPool pool(1);
    TransportBuffer* only = pool.getTransportBuffer();
    std::future<TransportBuffer*> got =
        std::async(std::launch::async, [&] { return pool.getTransportBuffer(); });
    std::this_thread::sleep_for(30ms);
    pool.freeTransportBuffer(only);
    ASSERT_EQ(got.wait_for(1s), std::future_status::ready) << "the returned buffer was not taken";
    EXPECT_EQ(got.get(), only);
}

TEST(SendPool, StopReleasesWaitingTakers) {
    RTPS::InputBufferPool pool(1);
    TransportBuffer* only = pool.getTransportBuffer();
    ASSERT_NE(only, nullptr);
    std::vector<std::thread> takers;
    std::atomic<int> gotNull{0};
    for (int i = 0; i < 3; ++i) {
        takers.emplace_back([&] {
            if (pool.getTransportBuffer() == nullptr) {
                ++gotNull;
            }
        });
    }
    std::this_thread::sleep_for(30ms);
    // Returns once no taker is inside any more: they were released, not left waiting.
    std::future<void> stopped = std::async(std::launch::async, [&] { pool.stop(); });
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready) << "stop did not release the takers";
    for (auto& t : takers) {
        t.join();
    }
    EXPECT_EQ(gotNull, 3);
    pool.freeTransportBuffer(only);
    EXPECT_EQ(pool.getTransportBuffer(), nullptr);
}

TEST(SendPool, ForeignAndDoubleReturnsAreIgnored) {
    RTPS::InputBufferPool pool(3);
    TransportBuffer* b = pool.getTransportBuffer();
    pool.freeTransportBuffer(b);
    pool.freeTransportBuffer(b);
    uint8_t bytes[4];
    TransportBuffer foreign{bytes, 4};
    pool.freeTransportBuffer(&foreign);
    pool.freeTransportBuffer(nullptr);
    std::set<TransportBuffer*> taken;
    for (int i = 0; i < 3; ++i) {
        taken.insert(pool.getTransportBuffer());
    }
    EXPECT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken.count(&foreign), 0u);
}

}  // namespace
