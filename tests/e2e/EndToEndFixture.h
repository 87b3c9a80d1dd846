#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "common/ChildProcess.h"
#include "Sensors_DCPS.hpp"

// What the end-to-end tests share: each forks a subscriber and a publisher child, and each
// child is one participant on domain 0 with the example's Reading topic and one writer or
// reader of it, which waits for its peer and writes or takes a numbered stream (the number is
// the reading's pressure, from 1). Every wait of a child is bounded, far below the test's
// time-out, and a child that gives up says why on stderr and by its exit code.

namespace e2e {

constexpr int32_t WAIT_SECONDS = 20;

// Exit codes of the children: where they gave up.
enum Exit : int {
    NO_MATCH = 10,
    WRITE_TIMED_OUT = 11,
    ACK_TIMED_OUT = 12,
    WRITER_STATUS_LIED = 13,
    NO_ANNOUNCEMENT_LOST = 14,
    NO_SAMPLE = 20,
    OUT_OF_ORDER = 21,
    WRONG_INSTANCE = 22,
    READER_STATUS_LIED = 23,
    API_ERROR = 30,
};

// Reliable; a writer's write waits up to `seconds` for room in a full history.
inline dds::core::policy::Reliability reliable(int32_t seconds) {
    return dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                          dds::core::Duration(seconds, 0));
}

inline dds::core::policy::History keepAll() {
    return dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1);
}

inline dds::core::policy::History keepLast(int32_t depth) {
    return dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, depth);
}

template <typename Qos, typename... Policies>
Qos withPolicies(Qos qos, Policies const&... policies) {
    (qos.policy(policies), ...);
    return qos;
}

// Runs a child's body; an API exception it lets out ends the child with API_ERROR.
template <typename Body>
int apiChild(char const* who, Body const& body) {
    try {
        return body();
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "%s: %s\n", who, e.what());
        return API_ERROR;
    }
}

// Waits until `matched()` is above 0, woken by the entity's matched status; false after
// WAIT_SECONDS, with `failure` on stderr.
template <typename Entity, typename Count>
bool waitForMatch(Entity const& entity, dds::core::status::StatusMask const& status,
                  Count const& matched, char const* failure) {
    dds::core::cond::StatusCondition condition(entity);
    condition.enabled_statuses(status);
    dds::core::cond::WaitSet waitset;
    waitset += condition;
    try {
        while (matched() == 0) {
            waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
        }
    } catch (dds::core::TimeoutError const&) {
        std::fprintf(stderr, "%s\n", failure);
        return false;
    }
    return true;
}

// A reading of one instance, whose pressure the tests number.
inline Sensors::Reading reading(int32_t id, char const* source) {
    Sensors::Reading r;
    r.id(id);
    r.source(source);
    r.status(Common::Status::OK);
    return r;
}

// The publishing child's entities; the writer has the publisher's default QoS with `policies`.
struct ReadingWriter {
    template <typename... Policies>
    explicit ReadingWriter(Policies const&... policies)
        : writer(publisher, topic, withPolicies(publisher.default_datawriter_qos(), policies...)) {}

    // False, said on stderr, when no reader matched within WAIT_SECONDS.
    bool waitForReader() {
        return waitForMatch(
            writer, dds::core::status::StatusMask::publication_matched(),
            [this] { return writer.publication_matched_status().current_count(); },
            "publisher: no reader matched");
    }

    // Writes `r` with pressures 1 to `count`, one every `period` (zero: back to back). After
    // each write `check(n)` returns CHILD_PASS to go on or an exit code to stop with.
    int writeNumbered(Sensors::Reading& r, int32_t count, std::chrono::milliseconds period,
                      std::function<int(int32_t)> const& check = nullptr) {
        auto next = std::chrono::steady_clock::now();
        for (int32_t n = 1; n <= count; ++n) {
            Sensors::Value v;
            v.pressure(n);
            r.value(v);
            try {
                writer.write(r);
            } catch (dds::core::TimeoutError const& e) {
                std::fprintf(stderr, "publisher: sample %d: %s\n", n, e.what());
                return WRITE_TIMED_OUT;
            }
            if (check) {
                int const verdict = check(n);
                if (verdict != vexatest::CHILD_PASS) {
                    return verdict;
                }
            }
            if (period.count() > 0) {
                next += period;
                std::this_thread::sleep_until(next);
            }
        }
        return vexatest::CHILD_PASS;
    }

    // False, said on stderr, when the readers did not acknowledge all within WAIT_SECONDS.
    bool waitForAcknowledgments() {
        try {
            writer.wait_for_acknowledgments(dds::core::Duration(WAIT_SECONDS, 0));
        } catch (dds::core::TimeoutError const& e) {
            std::fprintf(stderr, "publisher: %s\n", e.what());
            return false;
        }
        return true;
    }

    dds::domain::DomainParticipant participant{0};
    dds::topic::Topic<Sensors::Reading> topic{participant, "Reading"};
    dds::pub::Publisher publisher{participant};
    dds::pub::DataWriter<Sensors::Reading> writer;
};

// The subscribing child's entities; the reader has the subscriber's default QoS with
// `policies`.
struct ReadingReader {
    template <typename... Policies>
    explicit ReadingReader(Policies const&... policies)
        : reader(subscriber, topic,
                 withPolicies(subscriber.default_datareader_qos(), policies...)) {}

    // False, said on stderr, when no writer matched within WAIT_SECONDS.
    bool waitForWriter() {
        return waitForMatch(
            reader, dds::core::status::StatusMask::subscription_matched(),
            [this] { return reader.subscription_matched_status().current_count(); },
            "subscriber: no writer matched");
    }

    // Takes new samples as they arrive until the one with pressure `last` has been taken. Each
    // valid sample goes to `check(sample, previous)` (previous: the pressure taken before it, 0
    // at first), and after each take `afterTake(previous)`; both return CHILD_PASS to go on or
    // an exit code to stop with. NO_SAMPLE when nothing arrives for WAIT_SECONDS.
    int takeNumbered(int32_t last,
                     std::function<int(Sensors::Reading const&, int32_t)> const& check,
                     std::function<int(int32_t)> const& afterTake = nullptr) {
        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::new_data());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        int32_t previous = 0;
        while (previous < last) {
            try {
                waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "subscriber: nothing after sample %d\n", previous);
                return NO_SAMPLE;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                int const verdict = check(sample.data(), previous);
                if (verdict != vexatest::CHILD_PASS) {
                    return verdict;
                }
                previous = sample.data().value().pressure();
            }
            if (afterTake) {
                int const verdict = afterTake(previous);
                if (verdict != vexatest::CHILD_PASS) {
                    return verdict;
                }
            }
        }
        return vexatest::CHILD_PASS;
    }

    dds::domain::DomainParticipant participant{0};
    dds::topic::Topic<Sensors::Reading> topic{participant, "Reading"};
    dds::sub::Subscriber subscriber{participant};
    dds::sub::DataReader<Sensors::Reading> reader;
};

// Starts the subscriber, then the publisher, and expects both to pass; `publisherEnded` runs
// once the publisher has ended, before the wait for the subscriber. Nothing of the library runs
// in the test's process before the children are forked: each creates its own participant.
inline void expectBothPass(int (*subscriberChild)(), int (*publisherChild)(),
                           std::function<void()> const& publisherEnded = nullptr) {
    pid_t const subscriber = vexatest::startChild(subscriberChild);
    ASSERT_GT(subscriber, 0);
    pid_t const publisher = vexatest::startChild(publisherChild);
    if (publisher <= 0) {
        ::kill(subscriber, SIGKILL);
        vexatest::exitCodeOf(subscriber);
        FAIL() << "fork";
    }
    EXPECT_EQ(vexatest::exitCodeOf(publisher), vexatest::CHILD_PASS);
    if (publisherEnded) {
        publisherEnded();
    }
    EXPECT_EQ(vexatest::exitCodeOf(subscriber), vexatest::CHILD_PASS);
}

}  // namespace e2e
