#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/ChildProcess.h"
#include "Sensors_DCPS.hpp"

// Two processes on loopback (the test binary runs in the isolation launcher): a reliable
// KEEP_LAST depth 1 writer writes one instance every 10 ms, for longer than a heartbeat period
// and more samples than its history limit holds. Each write may replace the sample before it,
// acknowledged or not, so no write may wait for acknowledgements; the reader may miss samples
// but sees them in order and gets the last one.

namespace {

constexpr int32_t SAMPLES = 1500;
constexpr auto PERIOD = std::chrono::milliseconds(10);
// Every wait of the children is bounded, far below the test's time-out.
constexpr int32_t WAIT_SECONDS = 20;
// A write that waits this long for room has waited for acknowledgements.
constexpr int32_t MAX_BLOCKING_SECONDS = 2;

enum Exit : int {
    NO_MATCH = 10,
    WRITE_TIMED_OUT = 11,
    NO_SAMPLE = 20,
    OUT_OF_ORDER = 21,
    API_ERROR = 30,
};

dds::pub::qos::DataWriterQos keepLastOne(dds::pub::Publisher& publisher) {
    dds::pub::qos::DataWriterQos qos = publisher.default_datawriter_qos();
    qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                              dds::core::Duration(MAX_BLOCKING_SECONDS, 0)));
    qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, 1));
    return qos;
}

int publisherProcess() {
    try {
        dds::domain::DomainParticipant participant(0);
        dds::topic::Topic<Sensors::Reading> topic(participant, "Reading");
        dds::pub::Publisher publisher(participant);
        dds::pub::DataWriter<Sensors::Reading> writer(publisher, topic, keepLastOne(publisher));

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
        r.id(3);
        r.source("keep last");
        r.status(Common::Status::OK);
        auto next = std::chrono::steady_clock::now();
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
            next += PERIOD;
            std::this_thread::sleep_until(next);
        }
        // The last sample is the one the reader must get.
        writer.wait_for_acknowledgments(dds::core::Duration(WAIT_SECONDS, 0));
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
        qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                                  dds::core::Duration(1, 0)));
        qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, 1));
        dds::sub::DataReader<Sensors::Reading> reader(subscriber, topic, qos);

        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::new_data());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        int32_t last = 0;
        while (last < SAMPLES) {
            try {
                waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "subscriber: nothing after sample %d\n", last);
                return NO_SAMPLE;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                int32_t const n = sample.data().value().pressure();
                if (n <= last) {
                    std::fprintf(stderr, "subscriber: sample %d after %d\n", n, last);
                    return OUT_OF_ORDER;
                }
                last = n;
            }
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "subscriber: %s\n", e.what());
        return API_ERROR;
    }
    return vexatest::CHILD_PASS;
}

}  // namespace

// When only the writer had matched, its history filled with replaced but unacknowledged samples
// and write timed out at sample 1025.
TEST(KeepLastEndToEnd, AWriterThatMayReplaceNeverWaitsForAcknowledgements) {
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
