// Creation and deletion on several threads while the collector runs: the collector runs
// whenever a participant exists and stops with the last one, whatever the interleaving. Run
// under ThreadSanitizer as well: the participant count and the collector are guarded by one
// mutex, so a stop decided on a count read outside it is a data race reported here (in plain
// builds its window is a few instructions, where a creation takes milliseconds).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "CoreFixture.h"

using namespace std::chrono_literals;
using vexa::dcps::DomainParticipant;
using vexa::dcps::DPFactory;

TEST(FactoryThreads, CollectorFollowsCreateAndDeleteOnTwoThreads) {
    DPFactory f(1);  // a pass every second, so passes run during the loop
    std::atomic<unsigned> withoutCollector{0};
    std::atomic<unsigned> created{0};
    auto const end = std::chrono::steady_clock::now() + 2500ms;
    auto churn = [&] {
        while (std::chrono::steady_clock::now() < end) {
            DomainParticipant* dp = f.createParticipant(5, nullptr);
            if (dp == nullptr) {
                continue;
            }
            ++created;
            // This participant exists until the delete below: a collector must run all along,
            // also when the other thread deleted the last participant just before.
            if (!f.collectorRunning()) {
                ++withoutCollector;
            }
            std::this_thread::sleep_for(200us);
            if (!f.collectorRunning()) {
                ++withoutCollector;
            }
            f.delete_participant(dp);
        }
    };
    std::thread a(churn);
    std::thread b(churn);
    a.join();
    b.join();
    EXPECT_GT(created.load(), 10u);
    EXPECT_EQ(withoutCollector.load(), 0u);
    EXPECT_EQ(f.participantCount(), 0);
    EXPECT_FALSE(f.collectorRunning());

    // A later creation starts a collector again, the last delete stops it.
    DomainParticipant* dp = f.createParticipant(5, nullptr);
    ASSERT_NE(dp, nullptr);
    EXPECT_TRUE(f.collectorRunning());
    f.delete_participant(dp);
    EXPECT_FALSE(f.collectorRunning());
}
