#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "ParticipantFakes.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/Writer.h"

// Two processes, each with one participant of the engine, on loopback (the test binary runs in
// the isolation launcher): nothing is told by hand. They find each other by their SPDP
// announcements, match a writer in one with a reader in the other through SEDP, and samples
// flow. Then the writer's process is killed, and the reader's participant reports it lost once
// its lease has run out.

using namespace participant_test;

namespace {

constexpr uint32_t SAMPLES = 100;

vexa::dds::ParticipantBuiltinTopicData dataOf(uint8_t const* prefix) {
    vexa::dds::ParticipantBuiltinTopicData data;
    std::memcpy(data.key.value, prefix, 12);
    return data;
}

// The writer's process: a participant that writes the values 1..SAMPLES to a durable writer at
// once and then waits to be killed. The exit code says which step failed.
int writerProcess() {
    try {
        NullCommunicationObject nobody;
        auto data = dataOf(REMOTE_PREFIX);
        RTPS::ParticipantImpl p(&nobody, 0, &data, 0, false);
        p.start();
        auto pub = publication("Across", 0x21);
        pub.participant_key = keyOf(REMOTE_PREFIX);
        pub.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
        RTPS::RTPS_AdditionalTopicData const extra{{1, 0}, 0};
        RTPS::Writer* writer = p.addWriter(&pub, extra, RTPS::TOPIC_KIND_NO_KEY, 0);
        if (writer == nullptr) {
            return 3;
        }
        for (uint32_t v = 1; v <= SAMPLES; ++v) {
            RTPS::SampleInfo s{};
            s.statusFlags = RTPS::SAMPLE_ALIVE;
            s.sourceTimestamp = vexa::dds::TIME_INVALID;
            s.data = &v;
            s.length = sizeof v;
            if (writer->addChange(&s) == int64_t{0xFFFFFFFF}) {
                return 4;
            }
        }
        for (;;) {
            pause();
        }
    } catch (std::exception const& e) {
        std::fprintf(stderr, "writer process: %s\n", e.what());
        return 2;
    }
}

// The other process, killed at the end of the test whatever happens.
class ChildProcess {
public:
    explicit ChildProcess(int (*body)()) {
        std::fflush(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            // A test process that dies before its destructor runs takes the child with it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            _exit(body());
        }
    }
    ~ChildProcess() { kill(); }
    bool started() const { return m_pid > 0; }
    // Kills it outright (no goodbye on the wire); its exit status, or -1.
    int kill() {
        if (m_pid <= 0) {
            return -1;
        }
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0) {
        }
        m_pid = 0;
        return status;
    }
    // Whether it has ended on its own (it never should before it is killed).
    bool ended() {
        int status = 0;
        return m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid;
    }

private:
    pid_t m_pid = -1;
};

// What the reader's participant tells its user: discovered participants, samples, losses.
class Witness : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader* reader, void*, RTPS::SampleInfo* sample) override {
        unsigned int prefix[3];
        unsigned int entity;
        RTPS::SampleInfo copy{};
        reader->getChange(sample, &prefix, &entity, copy);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (reader == participants) {
            heard.emplace_back(reinterpret_cast<uint8_t*>(prefix),
                               reinterpret_cast<uint8_t*>(prefix) + 12);
        } else if (copy.length == sizeof(uint32_t)) {
            uint32_t value;
            std::memcpy(&value, copy.data, sizeof value);
            values.push_back(value);
            reader->deleteChange(sample);
        }
        m_cv.notify_all();
        return true;
    }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int* prefix) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        lost.emplace_back(reinterpret_cast<uint8_t*>(prefix),
                          reinterpret_cast<uint8_t*>(prefix) + 12);
        m_cv.notify_all();
    }

    template <class Pred>
    bool waitUntil(std::chrono::seconds limit, Pred pred) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] { return pred(); });
    }
    // What `read` makes of the lists, read under the mutex.
    template <class Read>
    auto locked(Read read) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return read();
    }
    static size_t count(std::vector<std::vector<uint8_t>> const& list, uint8_t const* prefix) {
        size_t n = 0;
        for (auto const& p : list) {
            n += std::memcmp(p.data(), prefix, 12) == 0 ? 1 : 0;
        }
        return n;
    }

    RTPS::Reader* participants = nullptr;
    std::vector<std::vector<uint8_t>> heard;
    std::vector<std::vector<uint8_t>> lost;
    std::vector<uint32_t> values;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

}  // namespace

TEST(TwoProcessDiscovery, FindMatchExchangeThenLoseThePeer) {
    // Short periods: announcements every 50 ms, a lease of 400 ms.
    ScratchDir dir(
        "BUSINESS.SPDP_ANNOUNCE_PERIOD = 50\nBUSINESS.PARTICIPANT_LEASE_DURATION = 400\n"
        "BUSINESS.HEARTBEAT_PERIOD = 100\nBUSINESS.NACK_RESPONSE_DELAY = 5\n");
    ChildProcess writerSide(&writerProcess);
    ASSERT_TRUE(writerSide.started());

    Witness witness;
    auto data = dataOf(OWN_PREFIX);
    RTPS::ParticipantImpl p(&witness, 0, &data, 0, false);
    witness.participants = p.getDCPSParticipantReader();
    auto sub = subscription("Across", 0x31);
    sub.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    RTPS::RTPS_AdditionalTopicData const extra{{1, 0}, 0};
    ASSERT_NE(p.addReader(&sub, extra, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr), nullptr);
    p.start();

    EXPECT_TRUE(witness.waitUntil(std::chrono::seconds(30), [&] {
        return Witness::count(witness.heard, REMOTE_PREFIX) != 0;
    })) << "the writer's participant was not discovered";
    ASSERT_TRUE(witness.waitUntil(std::chrono::seconds(30), [&] {
        return witness.values.size() >= SAMPLES;
    })) << witness.locked([&] {
        return witness.values.size();
    }) << " samples arrived";
    // Each once. Not necessarily in order: data that comes before the reader has heard of its
    // writer is dropped and asked for again later.
    std::vector<uint32_t> got = witness.locked([&] { return witness.values; });
    std::sort(got.begin(), got.end());
    ASSERT_EQ(got.size(), size_t{SAMPLES});
    for (uint32_t i = 0; i < SAMPLES; ++i) {
        EXPECT_EQ(got[i], i + 1) << "position " << i;
    }
    EXPECT_FALSE(writerSide.ended());
    EXPECT_TRUE(witness.locked([&] { return witness.lost.empty(); }))
        << "a live peer was reported lost";

    writerSide.kill();
    EXPECT_TRUE(witness.waitUntil(std::chrono::seconds(30), [&] {
        return Witness::count(witness.lost, REMOTE_PREFIX) != 0;
    })) << "the killed peer was never reported lost";
    EXPECT_EQ(witness.locked([&] { return Witness::count(witness.heard, REMOTE_PREFIX); }), 1u);
}
