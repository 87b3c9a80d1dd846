#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "common/ChildProcess.h"
#include "Sensors_DCPS.hpp"

// Two processes, each an application of the dds:: API over the real engine, on loopback (the
// test binary runs in the isolation launcher): a publisher and a subscriber of the example's
// Reading topic find each other, match, and 10 000 samples of one instance go across reliably,
// each exactly once and in order, with a history small enough that the writer has to wait for
// acknowledgements on the way. The subscriber leaves as soon as it has them all, and the
// publisher's wait for acknowledgements must still end well.

namespace {

constexpr int32_t SAMPLES = 10000;
// Small against the count, so write blocks for acknowledgements again and again. A reader
// acknowledges a HEARTBEAT after the configured response delay (500 ms), so each block costs
// about that long.
constexpr int32_t WRITER_DEPTH = 1000;
// Every wait of the children is bounded, far below the test's time-out.
constexpr int32_t WAIT_SECONDS = 20;

// Exit codes of the children: where they gave up.
enum Exit : int {
    NO_MATCH = 10,
    WRITE_TIMED_OUT = 11,
    ACK_TIMED_OUT = 12,
    NO_SAMPLE = 20,
    OUT_OF_ORDER = 21,
    WRONG_INSTANCE = 22,
    API_ERROR = 30,
};

dds::core::policy::Reliability reliable(int32_t seconds) {
    return dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                          dds::core::Duration(seconds, 0));
}

int publisherProcess() {
    try {
        dds::domain::DomainParticipant participant(0);
        dds::topic::Topic<Sensors::Reading> topic(participant, "Reading");
        dds::pub::Publisher publisher(participant);
        dds::pub::qos::DataWriterQos qos = publisher.default_datawriter_qos();
        // A full history makes write wait up to this long for acknowledgements.
        qos.policy(reliable(WAIT_SECONDS));
        qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
        qos.policy(dds::core::policy::ResourceLimits(WRITER_DEPTH, WRITER_DEPTH, WRITER_DEPTH));
        dds::pub::DataWriter<Sensors::Reading> writer(publisher, topic, qos);

        dds::core::cond::StatusCondition matched(writer);
        matched.enabled_statuses(dds::core::status::StatusMask::publication_matched());
        dds::core::cond::WaitSet waitset;
        waitset += matched;
        try {
            while (writer.publication_matched_status().current_count() == 0) {
                waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
            }
        } catch (dds::core::TimeoutError const&) {
            std::fprintf(stderr, "publisher: no reader matched\n");
            return NO_MATCH;
        }

        Sensors::Reading r;
        r.id(7);
        r.source("e2e");
        r.status(Common::Status::OK);
        r.label("end to end");
        for (int32_t n = 1; n <= SAMPLES; ++n) {
            Sensors::Value v;
            v.pressure(n);
            r.value(v);
            try {
                writer.write(r);
            } catch (dds::core::TimeoutError const& e) {
                std::fprintf(stderr, "publisher: sample %d: %s\n", n, e.what());
                return WRITE_TIMED_OUT;
            }
        }
        try {
            writer.wait_for_acknowledgments(dds::core::Duration(WAIT_SECONDS, 0));
        } catch (dds::core::TimeoutError const& e) {
            std::fprintf(stderr, "publisher: %s\n", e.what());
            return ACK_TIMED_OUT;
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "publisher: %s\n", e.what());
        return API_ERROR;
    }
    return vexatest::CHILD_PASS;
}

int subscriberProcess() {
    try {
        dds::domain::DomainParticipant participant(0);
        dds::topic::Topic<Sensors::Reading> topic(participant, "Reading");
        dds::sub::Subscriber subscriber(participant);
        dds::sub::qos::DataReaderQos qos = subscriber.default_datareader_qos();
        qos.policy(reliable(1));
        qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
        dds::sub::DataReader<Sensors::Reading> reader(subscriber, topic, qos);

        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::new_data());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        int32_t expected = 1;
        while (expected <= SAMPLES) {
            try {
                waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "subscriber: nothing after sample %d\n", expected - 1);
                return NO_SAMPLE;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                Sensors::Reading const& r = sample.data();
                if (r.id() != 7 || r.source() != "e2e" || r.label() != "end to end") {
                    std::fprintf(stderr, "subscriber: a sample of another instance\n");
                    return WRONG_INSTANCE;
                }
                // A gap, a duplicate and a reordering all show here.
                if (r.value().pressure() != expected) {
                    std::fprintf(stderr, "subscriber: sample %d where %d was due\n",
                                 r.value().pressure(), expected);
                    return OUT_OF_ORDER;
                }
                ++expected;
            }
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "subscriber: %s\n", e.what());
        return API_ERROR;
    }
    return vexatest::CHILD_PASS;
}

}  // namespace

// Nothing of the library runs in this process before the children are forked: each creates
// its own participant.
TEST(SensorsEndToEnd, TenThousandReadingsArriveOnceAndInOrder) {
    pid_t const subscriber = vexatest::startChild(subscriberProcess);
    ASSERT_GT(subscriber, 0);
    pid_t const publisher = vexatest::startChild(publisherProcess);
    if (publisher <= 0) {
        ::kill(subscriber, SIGKILL);
        vexatest::exitCodeOf(subscriber);
        FAIL() << "fork";
    }
    EXPECT_EQ(vexatest::exitCodeOf(publisher), vexatest::CHILD_PASS);
    EXPECT_EQ(vexatest::exitCodeOf(subscriber), vexatest::CHILD_PASS);
}
