#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "EndToEndFixture.h"

// Two processes, each an application of the dds:: API over the real engine, on loopback (the
// test binary runs in the isolation launcher): a publisher and a subscriber of the example's
// Reading topic find each other, match, and 10 000 samples of one instance go across reliably,
// each exactly once and in order, with a history small enough that the writer has to wait for
// acknowledgements on the way. The subscriber leaves as soon as it has them all, and the
// publisher's wait for acknowledgements must still end well.

namespace {

using namespace e2e;

constexpr int32_t SAMPLES = 10000;
// Small against the count, so write blocks for acknowledgements again and again. A reader
// acknowledges a HEARTBEAT after the configured response delay (500 ms), so each block costs
// about that long.
constexpr int32_t WRITER_DEPTH = 1000;

int publisherProcess() {
    return apiChild("publisher", []() -> int {
        // A full history makes write wait up to WAIT_SECONDS for acknowledgements.
        ReadingWriter side(
            reliable(WAIT_SECONDS), keepAll(),
            dds::core::policy::ResourceLimits(WRITER_DEPTH, WRITER_DEPTH, WRITER_DEPTH));
        if (!side.waitForReader()) {
            return NO_MATCH;
        }

        Sensors::Reading r = reading(7, "e2e");
        r.label("end to end");
        int const written = side.writeNumbered(r, SAMPLES, std::chrono::milliseconds(0));
        if (written != vexatest::CHILD_PASS) {
            return written;
        }
        return side.waitForAcknowledgments() ? vexatest::CHILD_PASS : ACK_TIMED_OUT;
    });
}

int subscriberProcess() {
    return apiChild("subscriber", []() -> int {
        ReadingReader side(reliable(1), keepAll());
        return side.takeNumbered(SAMPLES, [](Sensors::Reading const& r, int32_t previous) -> int {
            if (r.id() != 7 || r.source() != "e2e" || r.label() != "end to end") {
                std::fprintf(stderr, "subscriber: a sample of another instance\n");
                return WRONG_INSTANCE;
            }
            // A gap, a duplicate and a reordering all show here.
            if (r.value().pressure() != previous + 1) {
                std::fprintf(stderr, "subscriber: sample %d where %d was due\n",
                             r.value().pressure(), previous + 1);
                return OUT_OF_ORDER;
            }
            return vexatest::CHILD_PASS;
        });
    });
}

}  // namespace

TEST(SensorsEndToEnd, TenThousandReadingsArriveOnceAndInOrder) {
    expectBothPass(subscriberProcess, publisherProcess);
}
