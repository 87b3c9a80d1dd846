// The example programs stopped by SIGINT or SIGTERM while matched with a peer: each closes its
// participant (which announces its departure) and exits with 0, instead of being killed and
// left for its peers' lease checks to notice.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "Sensors_DCPS.hpp"
#include "ds/SpawnedProgram.h"

namespace {

using namespace std::chrono_literals;
using vexatest::SpawnedProgram;

constexpr uint32_t FIRST_DOMAIN = 4;

// Polls `count` until it equals `want` or `limit` has passed.
template <typename F>
bool becomes(F count, int32_t want, std::chrono::seconds limit) {
    auto const deadline = std::chrono::steady_clock::now() + limit;
    while (count() != want) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The test's own participant is the peer: a writer and a reader of the example's topic. Each case
// runs in a domain of its own, so it meets no trace of the one before.
struct Peer {
    explicit Peer(uint32_t domain)
        : participant(domain),
          topic(participant, "Reading"),
          publisher(participant),
          subscriber(participant),
          writer(publisher, topic, reliable(publisher.default_datawriter_qos())),
          reader(subscriber, topic, reliable(subscriber.default_datareader_qos())) {}

    template <typename Qos>
    static Qos reliable(Qos q) {
        q.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                                dds::core::Duration(1, 0)));
        return q;
    }

    dds::domain::DomainParticipant participant;
    dds::topic::Topic<Sensors::Reading> topic;
    dds::pub::Publisher publisher;
    dds::sub::Subscriber subscriber;
    dds::pub::DataWriter<Sensors::Reading> writer;
    dds::sub::DataReader<Sensors::Reading> reader;
};

TEST(ExampleStops, ASignalClosesTheParticipantAndEndsTheProgramCleanly) {
    struct Case {
        char const* program;
        char const* ready;
        int signal;
        bool isPublisher;
    } const cases[] = {
        {SENSOR_SUBSCRIBER_PATH, "waiting for readings", SIGINT, false},
        {SENSOR_SUBSCRIBER_PATH, "waiting for readings", SIGTERM, false},
        {SENSOR_PUBLISHER_PATH, "waiting for a reader", SIGINT, true},
        {SENSOR_PUBLISHER_PATH, "waiting for a reader", SIGTERM, true},
    };
    uint32_t domain = FIRST_DOMAIN;
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " signal " + std::to_string(c.signal));
        Peer peer(domain);
        auto readersMatched = [&] {
            return peer.writer.publication_matched_status().current_count();
        };
        auto writersMatched = [&] {
            return peer.reader.subscription_matched_status().current_count();
        };
        // The publisher writes far more than it can before the signal.
        SpawnedProgram program(c.program, {"1000000", std::to_string(domain++)});
        ASSERT_TRUE(program.waitForLine(c.ready, 30s)) << program.text();
        auto matched = c.isPublisher ? std::function<int32_t()>(writersMatched)
                                     : std::function<int32_t()>(readersMatched);
        ASSERT_TRUE(becomes(matched, 1, 30s)) << program.text();
        // Both sides know each other before the signal: the publisher says so once it has
        // matched the test's reader, the subscriber once it took a reading of the test's writer.
        if (c.isPublisher) {
            ASSERT_TRUE(program.waitForLine("a reader matched", 30s)) << program.text();
        } else {
            Sensors::Reading r;
            r.label("from the test");
            peer.writer.write(r);
            ASSERT_TRUE(program.waitForLine("from the test", 30s)) << program.text();
        }
        program.signal(c.signal);
        int const status = program.wait(30s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n"
                                                                   << program.text();
        EXPECT_NE(program.text().find("stopped by signal " + std::to_string(c.signal)),
                  std::string::npos)
            << program.text();
    }
}

}  // namespace
