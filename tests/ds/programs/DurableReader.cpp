// Reads the durable topic "Stamps" from its start: prints "got <writer> <number>" per valid
// sample, in the order taken, and "first <µs>" once, the time from the reader's creation to its
// first sample. It ends once nothing has come for `quiet` seconds (so duplicates after the
// last expected sample still show) and prints how many of `expected` it took.
//
//   durable_reader <domain> <expected> <quiet seconds>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "DurableQos.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: durable_reader domain expected quiet\n");
        return 2;
    }
    uint32_t const domain = static_cast<uint32_t>(std::atoi(argv[1]));
    long const expected = std::atol(argv[2]);
    int32_t const quiet = std::atoi(argv[3]);
    try {
        dds::domain::DomainParticipant participant(domain);
        auto topic = durabletest::durableTopic(participant);
        dds::sub::Subscriber subscriber(participant);
        dds::sub::qos::DataReaderQos qos = subscriber.default_datareader_qos();
        durabletest::makeDurable(qos);
        auto const created = std::chrono::steady_clock::now();
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
                    auto const first = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - created);
                    std::printf("first %lld\n", static_cast<long long>(first.count()));
                }
                std::printf("got %u %u\n", sample.data().writer(), sample.data().number());
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
