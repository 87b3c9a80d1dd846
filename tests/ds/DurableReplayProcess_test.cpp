// The real vexads beside two applications of one keyed TRANSIENT topic: a writer that
// publishes numbered samples and late readers that must get the stored history from the
// service over DSVC. Everything runs on loopback inside the launcher.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SpawnedProgram.h"

#ifdef VEXA_HAVE_DURABLE_PROGRAMS

using vexatest::SpawnedProgram;
using namespace std::chrono_literals;

namespace {

// Loopback only, the service on 127.0.0.1, and short engine periods so that discovery,
// repair and lease loss take a moment rather than the installed seconds.
class DurableReplay : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream trellis("trellis.cfg");
        trellis << "TRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\n"
                   "DSVC.SERVER_IP = 127.0.0.1\n";
        std::ofstream rtps("rtps.cfg");
        rtps << "BUSINESS.DEFAULT_UNICAST_IP = 127.0.0.1\n"
                "BUSINESS.HEARTBEAT_PERIOD = 100\n"
                "BUSINESS.HEARTBEAT_RESPONSE_DELAY = 10\n"
                "BUSINESS.NACK_RESPONSE_DELAY = 10\n"
                "BUSINESS.SPDP_ANNOUNCE_PERIOD = 200\n"
                "BUSINESS.CHECK_INCOMING_PERIOD = 1000\n"
                "BUSINESS.PARTICIPANT_LEASE_DURATION = 2000\n";
        ASSERT_TRUE(trellis && rtps);
    }
    void TearDown() override {
        std::remove("trellis.cfg");
        std::remove("rtps.cfg");
    }

    // vexads serving `domain`, its console on a pipe, once its prompt is out.
    static std::unique_ptr<SpawnedProgram> startService(unsigned domain) {
        auto ds = std::make_unique<SpawnedProgram>(
            VEXADS_PATH, std::vector<std::string>{std::to_string(domain)}, true);
        EXPECT_TRUE(ds->waitForLine("exit", 30s)) << ds->text();
        return ds;
    }

    // Ends vexads by closing its input; true for a clean exit.
    static bool stopService(SpawnedProgram& ds) {
        ds.closeInput();
        int const status = ds.wait(30s);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    static std::unique_ptr<SpawnedProgram> startWriter(unsigned domain, unsigned writer, int count,
                                                       int pauseMs = 0, int ackedAt = 0) {
        return std::make_unique<SpawnedProgram>(
            DURABLE_WRITER_PATH,
            std::vector<std::string>{std::to_string(domain), std::to_string(writer),
                                     std::to_string(count), std::to_string(pauseMs),
                                     std::to_string(ackedAt)});
    }

    // A late reader's samples as (writer, number) in the order taken, once it has been quiet
    // for `quiet` seconds.
    static std::vector<std::pair<unsigned, unsigned>> readHistory(unsigned domain, int quiet,
                                                                  std::string* out = nullptr) {
        SpawnedProgram reader(DURABLE_READER_PATH,
                              {std::to_string(domain), "0", std::to_string(quiet)});
        int const status = reader.wait(120s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << reader.text();
        std::vector<std::pair<unsigned, unsigned>> got;
        for (std::string const& line : reader.lines()) {
            unsigned w = 0, n = 0;
            if (std::sscanf(line.c_str(), "got %u %u", &w, &n) == 2) {
                got.emplace_back(w, n);
            }
        }
        if (out != nullptr) {
            *out = reader.text();
        }
        return got;
    }

    static std::vector<std::pair<unsigned, unsigned>> series(unsigned writer, unsigned first,
                                                             unsigned last) {
        std::vector<std::pair<unsigned, unsigned>> s;
        for (unsigned n = first; n <= last; ++n) {
            s.emplace_back(writer, n);
        }
        return s;
    }
};

std::string show(std::vector<std::pair<unsigned, unsigned>> const& samples) {
    std::string s;
    for (auto const& p : samples) {
        s += std::to_string(p.first) + ":" + std::to_string(p.second) + " ";
    }
    return s;
}

TEST_F(DurableReplay, LateReadersGetTheWholeHistoryOnceInOrder) {
    constexpr unsigned DOMAIN = 11;
    constexpr int N = 30;
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 7, N);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
        EXPECT_TRUE(writer->waitForLine("acked all", 0s) ||
                    writer->text().find("acked all") != std::string::npos)
            << writer->text();
    }
    for (int reader = 1; reader <= 2; ++reader) {
        SCOPED_TRACE("late reader " + std::to_string(reader));
        std::string out;
        auto const got = readHistory(DOMAIN, 3, &out);
        EXPECT_EQ(got, series(7, 1, N)) << show(got) << "\n" << out;
    }
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

}  // namespace

#endif
