// Reads the durable topic "Stamps" from its start: prints "got <writer> <number>" per valid
// sample, in the order taken, and the times (steady clock, µs, comparable between processes of
// one host) of its creation ("created"), its first sample ("first") and the `expected`-th
// sample ("all"). It ends once nothing has come for
// `quiet` seconds (so duplicates after the last expected sample still show) and prints how many of
// `expected` it took.
//
//   durable_reader <domain> <expected> <quiet seconds> [lines]
//
// `lines` 0 leaves out the per-sample lines (a benchmark's reader is not held up by its pipe).

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "DurableQos.h"

namespace {

long long now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: durable_reader domain expected quiet\n");
        return 2;
    }
    uint32_t const domain = static_cast<uint32_t>(std::atoi(argv[1]));
    long const expected = std::atol(argv[2]);
    int32_t const quiet = std::atoi(argv[3]);
    bool const lines = argc > 4 ? std::atoi(argv[4]) != 0 : true;
    try {
        dds::domain::DomainParticipant participant(domain);
        auto topic = durabletest::durableTopic(participant);
        dds::sub::Subscriber subscriber(participant);
        dds::sub::qos::DataReaderQos qos = subscriber.default_datareader_qos();
        durabletest::makeDurable(qos);
        std::printf("created %lld\n", now());
        dds::sub::DataReader<Durable::Stamp> reader(subscriber, topic, qos);

        // Any instance state: replayed samples of writers that are gone arrive on instances
        // with no writers.
        dds::sub::cond::ReadCondition arrived(
            reader, dds::sub::status::DataState(dds::sub::status::SampleState::not_read(),
                                                dds::sub::status::ViewState::any(),
                                                dds::sub::status::InstanceState::any()));
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        long received = 0;
        for (;;) {
            try {
                waitset.wait(dds::core::Duration(quiet, 0));
            } catch (dds::core::TimeoutError const&) {
                break;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                if (received++ == 0) {
                    std::printf("first %lld\n", now());
                }
                if (lines) {
                    std::printf("got %u %u\n", sample.data().writer(), sample.data().number());
                }
                if (received == expected) {
                    std::printf("all %lld\n", now());
                }
            }
            std::fflush(stdout);
        }
        std::printf("received %ld of %ld\n", received, expected);
        std::fflush(stdout);
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "durable_reader: %s\n", e.what());
        return 1;
    }
    return 0;
}
