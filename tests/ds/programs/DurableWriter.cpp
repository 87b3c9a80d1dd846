// Writes numbered samples of one writer to the durable topic "Stamps", one line on standard
// output per sample written, so a test can kill it at a known point.
//
//   durable_writer <domain> <writer> <count> [pause ms] [acknowledged at] [payload bytes]
//                  [readers] [lines]
//
// It waits until `readers` readers (default 1: the durability service's) have matched. With
// "acknowledged at" K, it waits for the acknowledgement of the first K samples and prints "acked K"
// before going on. At the end it waits for every acknowledgement, prints "acked all" and the
// time (steady clock, µs) as "acked_at <µs>", and exits.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "DurableQos.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: durable_writer domain writer count [pause] [acked] [bytes]\n");
        return 2;
    }
    uint32_t const domain = static_cast<uint32_t>(std::atoi(argv[1]));
    uint32_t const writerNo = static_cast<uint32_t>(std::atoi(argv[2]));
    int const count = std::atoi(argv[3]);
    int const pauseMs = argc > 4 ? std::atoi(argv[4]) : 0;
    int const ackedAt = argc > 5 ? std::atoi(argv[5]) : 0;
    size_t const bytes = argc > 6 ? static_cast<size_t>(std::atoi(argv[6])) : 0;
    int const readers = argc > 7 ? std::atoi(argv[7]) : 1;
    bool const lines = argc > 8 ? std::atoi(argv[8]) != 0 : true;
    try {
        dds::domain::DomainParticipant participant(domain);
        auto topic = durabletest::durableTopic(participant);
        dds::pub::Publisher publisher(participant);
        dds::pub::qos::DataWriterQos qos = publisher.default_datawriter_qos();
        durabletest::makeDurable(qos);
        dds::pub::DataWriter<Durable::Stamp> writer(publisher, topic, qos);

        dds::core::cond::StatusCondition matched(writer);
        matched.enabled_statuses(dds::core::status::StatusMask::publication_matched());
        dds::core::cond::WaitSet waitset;
        waitset += matched;
        try {
            while (writer.publication_matched_status().current_count() < readers) {
                waitset.wait(dds::core::Duration(30, 0));
            }
        } catch (dds::core::TimeoutError const&) {
            std::fprintf(stderr, "durable_writer: no reader matched within 30 s\n");
            return 1;
        }
        std::printf("matched\n");
        // The steady clock is the host's monotonic clock: readers' times compare with it.
        std::printf("start %lld\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count()));
        std::fflush(stdout);

        Durable::Stamp stamp;
        stamp.writer(writerNo);
        stamp.payload(Durable::Payload(bytes, 0x5A));
        for (int i = 1; i <= count; ++i) {
            stamp.number(static_cast<uint32_t>(i));
            writer.write(stamp);
            if (lines) {
                std::printf("wrote %u %d\n", writerNo, i);
                std::fflush(stdout);
            }
            if (i == ackedAt) {
                writer.wait_for_acknowledgments(dds::core::Duration(20, 0));
                std::printf("acked %d\n", i);
                std::fflush(stdout);
            }
            if (pauseMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
        }
        writer.wait_for_acknowledgments(dds::core::Duration(20, 0));
        std::printf("acked all\n");
        std::printf("acked_at %lld\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count()));
        std::fflush(stdout);
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "durable_writer: %s\n", e.what());
        return 1;
    }
    return 0;
}
