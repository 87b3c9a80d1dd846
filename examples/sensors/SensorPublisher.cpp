// Publishes readings of a few sensors on the topic "Reading": waits on the writer's status
// condition until a reader has matched, writes, then waits until every reader has them.
// SIGINT or SIGTERM stops it early: it closes its participant, so readers see it leave at once.
//
//   sensor_publisher [count] [domain]

#include <cstdio>
#include <cstdlib>
#include <string>

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
        dds::pub::Publisher publisher(participant);

        dds::pub::qos::DataWriterQos qos = publisher.default_datawriter_qos();
        qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                                  dds::core::Duration(5, 0)));
        qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
        dds::pub::DataWriter<Sensors::Reading> writer(publisher, topic, qos);

        dds::core::cond::StatusCondition matched(writer);
        matched.enabled_statuses(dds::core::status::StatusMask::publication_matched());
        dds::core::cond::WaitSet waitset;
        waitset += matched;
        waitset += stop.condition();
        std::printf("publisher: waiting for a reader\n");
        try {
            while (writer.publication_matched_status().current_count() == 0 &&
                   stop.received() == 0) {
                waitset.wait(dds::core::Duration(30, 0));
            }
        } catch (dds::core::TimeoutError const&) {
            std::fprintf(stderr, "publisher: no reader matched within 30 s\n");
            return 1;
        }
        if (stop.received() == 0) {
            std::printf("publisher: a reader matched, writing %d readings\n", count);
        }

        for (int i = 0; i < count && stop.received() == 0; ++i) {
            Sensors::Reading r;
            r.id(static_cast<uint32_t>(i % 3));
            r.source("sensor-" + std::to_string(i % 3));
            r.status(Common::Status::OK);
            Sensors::Value v;
            v.celsius(20.0f + static_cast<float>(i) / 2);
            r.value(v);
            r.history(Sensors::Samples{19.5, 19.75});
            r.flags(Sensors::Flags().CALIBRATED(true));
            r.label("reading " + std::to_string(i));
            writer.write(r);
            std::printf("publisher: wrote %s #%d: %.1f C\n", r.source().c_str(), i,
                        static_cast<double>(r.value().celsius()));
        }
        if (stop.received() != 0) {
            participant.close();
            std::printf("publisher: stopped by signal %d\n", stop.received());
            return 0;
        }
        writer.wait_for_acknowledgments(dds::core::Duration(10, 0));
        std::printf("publisher: every reading acknowledged\n");
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "publisher: %s\n", e.what());
        return 1;
    }
    return 0;
}
