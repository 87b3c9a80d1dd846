#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "EndToEndFixture.h"

// Two processes on loopback with short participant leases, each test a publisher and a
// subscriber of the example's Reading topic. Under the send shim (registered in
// tests/CMakeLists.txt with it), once the endpoints have matched, every participant
// announcement either process sends is lost for several leases while a reliable KEEP_ALL writer
// writes a steady stream: only the stream's own datagrams (data, heartbeats, acknowledgements)
// show each participant that the other is alive, and nothing written may be lost while both
// sides' matched statuses say throughout that the other is there. Without the shim, a reader
// that stops dead must be unmatched before its unacknowledged changes stop holding the writer
// back.

namespace {

using namespace e2e;

constexpr int32_t SAMPLES = 1200;
constexpr auto WRITE_PERIOD = std::chrono::milliseconds(5);
// A lease below the announce period: a lease that only announcements renewed would run out at
// the first lease pass without one.
constexpr int32_t ANNOUNCE_PERIOD_MS = 3000;
constexpr int32_t LEASE_MS = 1500;

bool underSendShim() {
    return dlsym(RTLD_DEFAULT, "vexa_send_shim_lose_announcements") != nullptr;
}

// Turns the loss of this process's announcements on or off; how many were lost so far.
uint64_t loseAnnouncements(bool on) {
    using Switch = uint64_t (*)(int);
    auto s = reinterpret_cast<Switch>(dlsym(RTLD_DEFAULT, "vexa_send_shim_lose_announcements"));
    return s != nullptr ? s(on ? 1 : 0) : 0;
}

// The shipped rtps.cfg with quick protocol timing and short announcements and leases, in the
// working directory, where both children read it first.
bool writeSettings() {
    char const* home = std::getenv("VEXA_HOME");
    std::ifstream shipped(std::string(home != nullptr ? home : "") + "/conf/rtps.cfg");
    std::ostringstream text;
    text << shipped.rdbuf();
    std::string const overrides[][2] = {
        {"BUSINESS.SPDP_ANNOUNCE_PERIOD", std::to_string(ANNOUNCE_PERIOD_MS)},
        {"BUSINESS.PARTICIPANT_LEASE_DURATION", std::to_string(LEASE_MS)},
        {"BUSINESS.HEARTBEAT_PERIOD", "100"},
        {"BUSINESS.HEARTBEAT_RESPONSE_DELAY", "5"},
        {"BUSINESS.NACK_RESPONSE_DELAY", "5"},
        {"BUSINESS.RESEND_PERIOD", "100"},
    };
    std::istringstream in(text.str());
    std::ofstream out("rtps.cfg");
    std::string line;
    while (std::getline(in, line)) {
        bool replaced = false;
        for (auto const& o : overrides) {
            replaced = replaced || line.rfind(o[0] + " ", 0) == 0 || line.rfind(o[0] + "=", 0) == 0;
        }
        if (!replaced) {
            out << line << '\n';
        }
    }
    for (auto const& o : overrides) {
        out << o[0] << " = " << o[1] << '\n';
    }
    return static_cast<bool>(out);
}

// Matched once, never lost since.
bool stillMatched(dds::core::status::PublicationMatchedStatus const& s) {
    return s.current_count() == 1 && s.total_count() == 1;
}
bool stillMatched(dds::core::status::SubscriptionMatchedStatus const& s) {
    return s.current_count() == 1 && s.total_count() == 1;
}

// Each side looks at its status last while the other is still there: the subscriber tells the
// publisher that it is done on one pipe, and waits on another until the test closes it once the
// publisher has ended. A reader that stops dead cannot say so: the test says it for it.
int subscriberDone[2] = {-1, -1};
int releaseSubscriber[2] = {-1, -1};

// Waits until the pipe has a byte or is closed; false after WAIT_SECONDS.
bool waitOn(int fd) {
    pollfd p{fd, POLLIN, 0};
    int const n = poll(&p, 1, WAIT_SECONDS * 1000);
    char byte;
    return n > 0 && read(fd, &byte, 1) >= 0;
}

int publisherProcess() {
    close(subscriberDone[1]);
    return apiChild("publisher", []() -> int {
        ReadingWriter side(reliable(WAIT_SECONDS), keepAll());
        if (!side.waitForReader()) {
            return NO_MATCH;
        }
        loseAnnouncements(true);

        Sensors::Reading r = reading(5, "lease");
        int const written = side.writeNumbered(r, SAMPLES, WRITE_PERIOD, [&side](int32_t n) -> int {
            if (!stillMatched(side.writer.publication_matched_status())) {
                std::fprintf(stderr, "publisher: the reader was lost at sample %d\n", n);
                return WRITER_STATUS_LIED;
            }
            return vexatest::CHILD_PASS;
        });
        if (written != vexatest::CHILD_PASS) {
            return written;
        }
        if (!side.waitForAcknowledgments()) {
            return ACK_TIMED_OUT;
        }
        if (!stillMatched(side.writer.publication_matched_status())) {
            std::fprintf(stderr, "publisher: acknowledged, but the reader was lost\n");
            return WRITER_STATUS_LIED;
        }
        if (loseAnnouncements(false) == 0) {
            return NO_ANNOUNCEMENT_LOST;
        }
        if (!waitOn(subscriberDone[0])) {
            std::fprintf(stderr, "publisher: the subscriber did not end\n");
            return NO_SAMPLE;
        }
        return vexatest::CHILD_PASS;
    });
}

int subscriberProcess() {
    close(releaseSubscriber[1]);
    return apiChild("subscriber", []() -> int {
        ReadingReader side(reliable(1), keepAll());
        if (!side.waitForWriter()) {
            return NO_MATCH;
        }
        loseAnnouncements(true);

        int const taken = side.takeNumbered(
            SAMPLES,
            [](Sensors::Reading const& r, int32_t previous) -> int {
                if (r.value().pressure() != previous + 1) {
                    std::fprintf(stderr, "subscriber: sample %d where %d was due\n",
                                 r.value().pressure(), previous + 1);
                    return OUT_OF_ORDER;
                }
                return vexatest::CHILD_PASS;
            },
            [&side](int32_t previous) -> int {
                if (!stillMatched(side.reader.subscription_matched_status())) {
                    std::fprintf(stderr, "subscriber: the writer was lost after sample %d\n",
                                 previous);
                    return READER_STATUS_LIED;
                }
                return vexatest::CHILD_PASS;
            });
        if (taken != vexatest::CHILD_PASS) {
            return taken;
        }
        if (loseAnnouncements(false) == 0) {
            return NO_ANNOUNCEMENT_LOST;
        }
        char const done = 1;
        if (write(subscriberDone[1], &done, 1) != 1) {
            return API_ERROR;
        }
        waitOn(releaseSubscriber[0]);
        return vexatest::CHILD_PASS;
    });
}

// A reader whose process stops dead (no goodbye, no datagram) after the first sample: the
// KEEP_ALL writer's history fills with changes it never acknowledges, so writes wait for room
// until the reader's participant is lost with its lease. A write that goes on, and a wait for
// acknowledgements that ends well, must find the reader unmatched by then. The writer goes on
// only once the test has seen the reader stopped, all its threads with it: a reader still
// running after the first sample would acknowledge what came next and give the writer room of
// its own.
int vanishingSubscriberProcess() {
    return apiChild("subscriber", []() -> int {
        ReadingReader side(reliable(1), keepAll());
        dds::sub::cond::ReadCondition arrived(side.reader, dds::sub::status::DataState::new_data());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        try {
            waitset.wait(dds::core::Duration(WAIT_SECONDS, 0));
        } catch (dds::core::TimeoutError const&) {
            return NO_SAMPLE;
        }
        raise(SIGSTOP);  // the test kills it at the end
        return vexatest::CHILD_PASS;
    });
}

constexpr int32_t SMALL_HISTORY = 4;

int writerToAVanishingReaderProcess() {
    close(subscriberDone[1]);
    return apiChild("publisher", []() -> int {
        try {
            ReadingWriter side(
                reliable(WAIT_SECONDS), keepAll(),
                dds::core::policy::ResourceLimits(SMALL_HISTORY, SMALL_HISTORY, SMALL_HISTORY));
            if (!side.waitForReader()) {
                return NO_MATCH;
            }
            Sensors::Reading r = reading(6, "vanishing");
            Sensors::Value v;
            v.pressure(0);
            r.value(v);
            side.writer.write(r);
            if (!waitOn(subscriberDone[0])) {
                return NO_SAMPLE;
            }
            // Twice the history: the last writes can only take room that a lost reader gave
            // back.
            int const written =
                side.writeNumbered(r, 2 * SMALL_HISTORY, std::chrono::milliseconds(0));
            if (written != vexatest::CHILD_PASS) {
                return written;
            }
            if (side.writer.publication_matched_status().current_count() != 0) {
                std::fprintf(stderr, "publisher: room for writes, but the reader still matched\n");
                return WRITER_STATUS_LIED;
            }
            side.writer.wait_for_acknowledgments(dds::core::Duration(WAIT_SECONDS, 0));
            if (side.writer.publication_matched_status().current_count() != 0) {
                std::fprintf(stderr, "publisher: acknowledged, but the reader still matched\n");
                return WRITER_STATUS_LIED;
            }
        } catch (dds::core::TimeoutError const& e) {
            std::fprintf(stderr, "publisher: %s\n", e.what());
            return WRITE_TIMED_OUT;
        }
        return vexatest::CHILD_PASS;
    });
}

}  // namespace

// Each test in a directory of its own, where the children read rtps.cfg first.
class LeaseEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(mkdtemp(dir_), nullptr);
        old_ = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(dir_), 0);
        ASSERT_TRUE(writeSettings());
        ASSERT_EQ(pipe(subscriberDone), 0);
        ASSERT_EQ(pipe(releaseSubscriber), 0);
    }
    void TearDown() override {
        for (int* p : {subscriberDone, releaseSubscriber}) {
            for (int i = 0; i < 2; ++i) {
                if (p[i] >= 0) {
                    close(p[i]);
                    p[i] = -1;
                }
            }
        }
        unlink("rtps.cfg");
        if (old_ != nullptr) {
            EXPECT_EQ(chdir(old_), 0);
            std::free(old_);
        }
        rmdir(dir_);
    }

    char dir_[32] = "/tmp/vexa-lease.XXXXXX";
    char* old_ = nullptr;
};

TEST_F(LeaseEndToEnd, AStreamKeepsItsPeerAliveWhileAnnouncementsAreLost) {
    if (!underSendShim()) {
        GTEST_SKIP() << "runs under the send shim only";
    }
    expectBothPass(subscriberProcess, publisherProcess, [] {
        close(releaseSubscriber[1]);
        releaseSubscriber[1] = -1;
    });
}

TEST_F(LeaseEndToEnd, AVanishedReaderIsUnmatchedBeforeItsChangesCountAsDelivered) {
    pid_t const subscriber = vexatest::startChild(vanishingSubscriberProcess);
    ASSERT_GT(subscriber, 0);
    pid_t const publisher = vexatest::startChild(writerToAVanishingReaderProcess);
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(subscriber, &status, WUNTRACED)) < 0 && errno == EINTR) {
    }
    bool const stopped = waited == subscriber && WIFSTOPPED(status);
    char const go = 1;
    if (publisher > 0 && (!stopped || write(subscriberDone[1], &go, 1) != 1)) {
        ::kill(publisher, SIGKILL);
    }
    int const publisherExit = publisher > 0 ? vexatest::exitCodeOf(publisher) : -1;
    if (stopped) {
        ::kill(subscriber, SIGKILL);
        vexatest::exitCodeOf(subscriber);
    }
    EXPECT_TRUE(stopped) << "the subscriber ended with status " << status;
    EXPECT_EQ(publisherExit, vexatest::CHILD_PASS);
}
