// Subscribes to the topic "Reading": waits on a wait set with a read condition for new
// readings, takes them and prints them, until `count` have arrived. SIGINT or SIGTERM stops it
// early: it closes its participant, so writers see it leave at once.
//
//   sensor_subscriber [count] [domain]

#include <cstdio>
#include <cstdlib>

#include "Sensors_DCPS.hpp"
#include "StopSignal.h"

int main(int argc, char** argv) {
    int const count = argc > 1 ? std::atoi(argv[1]) : 10;
    uint32_t const domain = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 0;
    // One line at a time, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    StopSignal stop;
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<Sensors::Reading> topic(participant, "Reading");
        dds::sub::Subscriber subscriber(participant);

        dds::sub::qos::DataReaderQos qos = subscriber.default_datareader_qos();
        qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                                  dds::core::Duration(1, 0)));
        qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
        dds::sub::DataReader<Sensors::Reading> reader(subscriber, topic, qos);

        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::new_data());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        waitset += stop.condition();
        std::printf("subscriber: waiting for readings\n");
        int received = 0;
        while (received < count) {
            if (stop.received() != 0) {
                participant.close();
                std::printf("subscriber: stopped by signal %d after %d readings\n", stop.received(),
                            received);
                return 0;
            }
            try {
                waitset.wait(dds::core::Duration(30, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "subscriber: no reading within 30 s (%d of %d received)\n",
                             received, count);
                return 1;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                Sensors::Reading const& r = sample.data();
                std::printf("subscriber: %s (id %u) %.1f C, \"%s\"\n", r.source().c_str(), r.id(),
                            static_cast<double>(r.value().celsius()), r.label().c_str());
                ++received;
            }
        }
        std::printf("subscriber: %d readings received\n", received);
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "subscriber: %s\n", e.what());
        return 1;
    }
    return 0;
}
