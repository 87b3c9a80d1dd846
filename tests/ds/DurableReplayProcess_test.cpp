// The real vexads beside two applications of one keyed TRANSIENT topic: a writer that
// publishes numbered samples and late readers that must get the stored history from the
// service over DSVC. Everything runs on loopback inside the launcher.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <memory>
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
        auto const got = samplesOf(reader);
        if (out != nullptr) {
            *out = reader.text();
        }
        return got;
    }

    static std::vector<std::pair<unsigned, unsigned>> samplesOf(SpawnedProgram const& reader) {
        std::vector<std::pair<unsigned, unsigned>> got;
        for (std::string const& line : reader.lines()) {
            unsigned w = 0, n = 0;
            if (std::sscanf(line.c_str(), "got %u %u", &w, &n) == 2) {
                got.emplace_back(w, n);
            }
        }
        return got;
    }

    static std::string currentDir() {
        char cwd[4096];
        return getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
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

// A TCP connection to the durability service of `domain` on loopback; -1, with errno, when
// none was made.
int connectToService(unsigned domain) {
    int const fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(7399 + domain));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        int const error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

TEST_F(DurableReplay, LateReadersGetTheWholeHistoryOnceInOrder) {
    constexpr unsigned DOMAIN = 11;
    constexpr int N = 30;
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 7, N);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
        EXPECT_NE(writer->text().find("acked all"), std::string::npos) << writer->text();
    }
    for (int reader = 1; reader <= 2; ++reader) {
        SCOPED_TRACE("late reader " + std::to_string(reader));
        std::string out;
        auto const got = readHistory(DOMAIN, 3, &out);
        EXPECT_EQ(got, series(7, 1, N)) << show(got) << "\n" << out;
    }
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// With the installed trellis.cfg alone (no file in the working directory) a late reader asks
// the service on this host and gets the history.
TEST_F(DurableReplay, TheShippedTransportFileFindsTheService) {
    constexpr unsigned DOMAIN = 17;
    ASSERT_EQ(std::remove("trellis.cfg"), 0);
    constexpr int N = 5;
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 6, N);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
    }
    std::string out;
    auto const got = readHistory(DOMAIN, 3, &out);
    EXPECT_EQ(got, series(6, 1, N)) << show(got) << "\n" << out;
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// A writer killed mid-stream: what the service had stored is replayed, from the first sample on,
// without a gap and without a repeat; at least what the writer saw acknowledged is there.
TEST_F(DurableReplay, AKilledWritersStoredSamplesAreReplayedWithoutAGap) {
    constexpr unsigned DOMAIN = 12;
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 3, 1000, 10, 20);
        ASSERT_TRUE(writer->waitForLine("acked 20", 60s)) << writer->text();
        ASSERT_TRUE(writer->waitForLine("wrote 3 40", 30s)) << writer->text();
        writer->signal(SIGKILL);
        int const status = writer->wait(30s);
        ASSERT_TRUE(WIFSIGNALED(status)) << writer->text();
    }
    for (int reader = 1; reader <= 2; ++reader) {
        SCOPED_TRACE("late reader " + std::to_string(reader));
        std::string out;
        auto const got = readHistory(DOMAIN, 3, &out);
        ASSERT_GE(got.size(), 20u) << show(got) << "\n" << out;
        EXPECT_EQ(got, series(3, 1, static_cast<unsigned>(got.size()))) << show(got);
    }
    EXPECT_TRUE(ds->running());
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// A reader that joins while the writer still writes gets the stored part and the live part
// as one series: nothing lost at the seam, nothing twice.
TEST_F(DurableReplay, AReaderJoiningWhileTheWriterWritesGetsOneSeries) {
    constexpr unsigned DOMAIN = 13;
    constexpr int N = 150;
    auto ds = startService(DOMAIN);
    auto writer = startWriter(DOMAIN, 5, N, 20);
    ASSERT_TRUE(writer->waitForLine("wrote 5 50", 60s)) << writer->text();
    SpawnedProgram reader(DURABLE_READER_PATH, {std::to_string(DOMAIN), "0", "4"});
    int const written = writer->wait(60s);
    EXPECT_TRUE(WIFEXITED(written) && WEXITSTATUS(written) == 0) << writer->text();
    EXPECT_NE(writer->text().find("acked all"), std::string::npos) << writer->text();
    int const status = reader.wait(60s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << reader.text();
    auto const got = samplesOf(reader);
    EXPECT_EQ(got, series(5, 1, N)) << show(got);
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// Every way of stopping ends the service cleanly with history stored; the history lives in
// memory only, so a restarted service has none, and stores anew.
TEST_F(DurableReplay, EveryStopEndsCleanlyAndARestartStartsEmpty) {
    constexpr unsigned DOMAIN = 14;
    struct Case {
        char const* name;
        char const* input;  // sent before the input closes, when not null
        int signal;
    } const cases[] = {
        {"exit", "exit\n", 0},
        {"end of input", nullptr, 0},
        {"SIGTERM", nullptr, SIGTERM},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        auto ds = startService(DOMAIN);
        {
            auto writer = startWriter(DOMAIN, 9, 5);
            int const status = writer->wait(60s);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
        }
        if (c.signal != 0) {
            ds->signal(c.signal);
        } else if (c.input != nullptr) {
            ds->send(c.input);
        } else {
            ds->closeInput();
        }
        int const status = ds->wait(30s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ds->text();
        EXPECT_NE(ds->text().find("Служба остановлена."), std::string::npos) << ds->text();
    }
    auto ds = startService(DOMAIN);
    EXPECT_TRUE(readHistory(DOMAIN, 2).empty());
    {
        auto writer = startWriter(DOMAIN, 4, 3);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
    }
    auto const got = readHistory(DOMAIN, 3);
    EXPECT_EQ(got, series(4, 1, 3)) << show(got);
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// Raw TCP peers on the service's DSVC port that lie about lengths or stall. Those whose length
// field no peer builds are cut off; the others may wait. None harms the service: the history
// still reaches a real late reader, and the service stops at once with them still connected.
TEST_F(DurableReplay, LyingDsvcPeersNeitherHarmNorHoldTheService) {
    constexpr unsigned DOMAIN = 16;
    constexpr uint64_t INIT = 0x44535643494E4954ULL;
    auto head = [](uint32_t length, uint64_t tag) {
        std::string h;
        for (int i = 0; i < 4; ++i) {
            h += static_cast<char>(length >> (8 * i));
        }
        for (int i = 0; i < 8; ++i) {
            h += static_cast<char>(tag >> (8 * i));
        }
        return h;
    };
    struct Case {
        char const* name;
        std::string bytes;
        bool cutOff;
    } const cases[] = {
        {"a length below the head", head(4, INIT), true},
        {"a length beyond any message", head(0xFFFFFFFFu, INIT), true},
        {"an INIT claiming 1 MiB that sends 20 bytes", head(1u << 20, INIT) + std::string(20, 'x'),
         false},
        {"an INIT of a reader nobody discovered", head(32, INIT) + std::string(20, '\x11'), false},
        {"half a head", head(32, INIT).substr(0, 6), false},
    };
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 2, 10);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
    }
    std::vector<int> open;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        int const fd = connectToService(DOMAIN);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(c.bytes.size()));
        if (c.cutOff) {
            pollfd p{fd, POLLIN, 0};
            ASSERT_EQ(poll(&p, 1, 10000), 1) << "not cut off";
            char b;
            EXPECT_LE(recv(fd, &b, 1, 0), 0);
            close(fd);
        } else {
            open.push_back(fd);
        }
    }
    auto const got = readHistory(DOMAIN, 3);
    EXPECT_EQ(got, series(2, 1, 10)) << show(got);
    auto const stopping = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopService(*ds)) << ds->text();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 20s);
    for (int fd : open) {
        close(fd);
    }
}

// The threads of a running program, from /proc.
int threadsOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 8, "Threads:") == 0) {
            return std::atoi(line.c_str() + 8);
        }
    }
    return -1;
}

// A flood of connections that never say who they are takes neither a thread each nor the place
// of a real late reader, which still gets the history.
TEST_F(DurableReplay, AFloodOfIdleDsvcConnectionsIsCappedAndAReaderIsStillServed) {
    constexpr unsigned DOMAIN = 18;
    constexpr int FLOOD = 200;
    auto ds = startService(DOMAIN);
    {
        auto writer = startWriter(DOMAIN, 8, 10);
        int const status = writer->wait(60s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << writer->text();
    }
    int const before = threadsOf(ds->pid());
    ASSERT_GT(before, 0);
    std::vector<int> idle;
    for (int i = 0; i < FLOOD; ++i) {
        int const fd = connectToService(DOMAIN);
        ASSERT_GE(fd, 0) << i << ": " << std::strerror(errno);
        idle.push_back(fd);
    }
    // Every connection has reached the service once a late reader, connecting after them, is
    // served; the threads are counted while they are all still open on this side.
    auto const got = readHistory(DOMAIN, 3);
    EXPECT_EQ(got, series(8, 1, 10)) << show(got);
    int const during = threadsOf(ds->pid());
    EXPECT_LT(during - before, FLOOD / 2) << before << " threads before, " << during << " after";
    for (int fd : idle) {
        close(fd);
    }
    EXPECT_TRUE(stopService(*ds)) << ds->text();
}

// Without its texts the service says so in fixed English and ends with 255.
TEST_F(DurableReplay, NoTextsNoService) {
    ASSERT_EQ(system("mkdir -p empty_home"), 0);
    SpawnedProgram ds(VEXADS_PATH, {"15"}, true, {"VEXA_HOME=" + currentDir() + "/empty_home"});
    int const status = ds.wait(30s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255) << status;
    EXPECT_EQ(ds.text(), "Error: Resource file \"ds_strings_ru.res\" not found\n");
}

}  // namespace

#endif
