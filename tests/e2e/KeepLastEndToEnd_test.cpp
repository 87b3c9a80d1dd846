#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "EndToEndFixture.h"

// Two processes on loopback (the test binary runs in the isolation launcher): a reliable
// KEEP_LAST depth 1 writer writes one instance every 10 ms, for longer than a heartbeat period
// and more samples than its history limit holds. Each write may replace the sample before it,
// acknowledged or not, so no write may wait for acknowledgements; the reader may miss samples
// but sees them in order and gets the last one.

namespace {

using namespace e2e;

constexpr int32_t SAMPLES = 1500;
constexpr auto PERIOD = std::chrono::milliseconds(10);
// A write that waits this long for room has waited for acknowledgements.
constexpr int32_t MAX_BLOCKING_SECONDS = 2;

int publisherProcess() {
    return apiChild("publisher", []() -> int {
        ReadingWriter side(reliable(MAX_BLOCKING_SECONDS), keepLast(1));
        if (!side.waitForReader()) {
            return NO_MATCH;
        }

        Sensors::Reading r = reading(3, "keep last");
        int const written = side.writeNumbered(r, SAMPLES, PERIOD);
        if (written != vexatest::CHILD_PASS) {
            return written;
        }
        // The last sample is the one the reader must get.
        side.writer.wait_for_acknowledgments(dds::core::Duration(WAIT_SECONDS, 0));
        return vexatest::CHILD_PASS;
    });
}

int subscriberProcess() {
    return apiChild("subscriber", []() -> int {
        ReadingReader side(reliable(1), keepLast(1));
        return side.takeNumbered(SAMPLES, [](Sensors::Reading const& r, int32_t previous) -> int {
            int32_t const n = r.value().pressure();
            if (n <= previous) {
                std::fprintf(stderr, "subscriber: sample %d after %d\n", n, previous);
                return OUT_OF_ORDER;
            }
            return vexatest::CHILD_PASS;
        });
    });
}

}  // namespace

// When only the writer had matched, its history filled with replaced but unacknowledged samples
// and write timed out at sample 1025.
TEST(KeepLastEndToEnd, AWriterThatMayReplaceNeverWaitsForAcknowledgements) {
    expectBothPass(subscriberProcess, publisherProcess);
}
