#include "rtps/participant/Config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "rtps/participant/PortMapping.h"

using RTPS::Config;

namespace {

// Every value a participant takes from rtps.cfg.
struct Values {
    const char* unicast;
    const char* multicast;
    int32_t heartbeat;
    int32_t heartbeatResponse;
    int32_t nackResponse;
    int32_t nackSuppression;
    bool push;
    int32_t resend;
    int32_t checkIncoming;
    int32_t spdp;
    int32_t lease;
    Config::USER_MULTICASTING_MODE mode;
};

const Values kFallback{"127.0.0.2", "0.0.0.0", 10000, 500,   200,   0,
                       true,        30000,     10000, 30000, 45000, Config::MULTICASTING_PER_TOPIC};
const Values kRowDefaults{"127.0.0.1", "239.0.0.2", 10000, 500,
                          200,         0,           true,  30000,
                          10000,       30000,       45000, Config::MULTICASTING_PER_TOPIC};

void expectValues(const Config& c, const Values& v, const std::string& what) {
    EXPECT_STREQ(c.defaultUnicastIp(), v.unicast) << what;
    EXPECT_STREQ(c.defaultMulticastIp(), v.multicast) << what;
    EXPECT_EQ(c.heartbeatPeriod(), v.heartbeat) << what;
    EXPECT_EQ(c.heartbeatResponseDelay(), v.heartbeatResponse) << what;
    EXPECT_EQ(c.nackResponseDelay(), v.nackResponse) << what;
    EXPECT_EQ(c.nackSuppressionDuration(), v.nackSuppression) << what;
    EXPECT_EQ(c.pushMode(), v.push) << what;
    EXPECT_EQ(c.resendPeriod(), v.resend) << what;
    EXPECT_EQ(c.checkIncomingPeriod(), v.checkIncoming) << what;
    EXPECT_EQ(c.spdpAnnouncePeriod(), v.spdp) << what;
    EXPECT_EQ(c.participantLeaseDuration(), v.lease) << what;
    EXPECT_EQ(c.userMulticastingMode(), v.mode) << what;
}

const char kFullFile[] =
    "BUSINESS.DEFAULT_UNICAST_IP = 127.0.0.1\n"
    "BUSINESS.DEFAULT_MULTICAST_IP = 239.1.2.3\n"
    "BUSINESS.HEARTBEAT_PERIOD = 1500\n"
    "BUSINESS.HEARTBEAT_RESPONSE_DELAY = 40\n"
    "BUSINESS.NACK_RESPONSE_DELAY = 30\n"
    "BUSINESS.NACK_SUPPRESSION_DURATION = 20\n"
    "BUSINESS.PUSH_MODE = НЕТ\n"
    "BUSINESS.RESEND_PERIOD = 700\n"
    "BUSINESS.CHECK_INCOMING_PERIOD = 2000\n"
    "BUSINESS.SPDP_ANNOUNCE_PERIOD = 250\n"
    "BUSINESS.PARTICIPANT_LEASE_DURATION = 900\n"
    "BUSINESS.USER_MULTICASTING_MODE = ПО_ПИСАТЕЛЯМ\n";

// rtps.cfg in the working directory wins over the one under VEXA_HOME.
class ConfigFile : public ::testing::Test {
protected:
    void TearDown() override {
        std::remove("rtps.cfg");
        rmdir("rtps.cfg");
    }
    static void write(const std::string& content) {
        std::remove("rtps.cfg");
        std::ofstream out("rtps.cfg", std::ios::binary | std::ios::trunc);
        out << content;
    }
};

}  // namespace

TEST_F(ConfigFile, FileValuesOrWholeFallback) {
    struct Case {
        const char* name;
        std::string content;
        Values expected;
    };
    const Values fromFile{"127.0.0.1", "239.1.2.3", 1500,  40,
                          30,          20,          false, 700,
                          2000,        250,         900,   Config::MULTICASTING_PER_WRITER};
    Values spdpOnly = kRowDefaults;
    spdpOnly.spdp = 1000;
    Values off = kRowDefaults;
    off.mode = Config::MULTICASTING_OFF;
    Values rangeKept = kRowDefaults;
    rangeKept.unicast = "10.1.1.7";

    const Case cases[] = {
        {"every parameter set", kFullFile, fromFile},
        // Missing lines and values out of range keep the row default; no fallback.
        {"one line", "BUSINESS.SPDP_ANNOUNCE_PERIOD=1000\n", spdpOnly},
        {"values out of range",
         "BUSINESS.DEFAULT_UNICAST_IP=10.1.1.7\nBUSINESS.HEARTBEAT_PERIOD=99\n"
         "BUSINESS.USER_MULTICASTING_MODE=по_темам\n",
         rangeKept},
        {"empty file", "", kRowDefaults},
        {"multicasting off", "BUSINESS.USER_MULTICASTING_MODE=ОТКЛЮЧЕН\n", off},
        // An address of 16 characters cannot be read into its 16-byte text: every value,
        // also those the file set well, falls back.
        {"unicast of 16 characters",
         std::string(kFullFile) + "BUSINESS.DEFAULT_UNICAST_IP=192.168.100.1000\n", kFallback},
        {"multicast of 16 characters",
         std::string(kFullFile) + "BUSINESS.DEFAULT_MULTICAST_IP=239.255.255.2550\n", kFallback},
        {"unicast no address", std::string(kFullFile) + "BUSINESS.DEFAULT_UNICAST_IP=localhost\n",
         kFallback},
        {"multicast no address", std::string(kFullFile) + "BUSINESS.DEFAULT_MULTICAST_IP=239.1.2\n",
         kFallback},
    };
    for (const Case& c : cases) {
        write(c.content);
        Config config(0);
        expectValues(config, c.expected, c.name);
    }
}

// A file that opens but cannot be read (here a directory) is a failed read.
TEST_F(ConfigFile, UnreadableFileFallsBack) {
    ASSERT_EQ(mkdir("rtps.cfg", 0755), 0);
    Config config(3);
    expectValues(config, kFallback, "directory");
}

// VEXA_HOME is cached for the process: each case runs in a fresh one.
TEST(ConfigMissingFile, FallbackWithoutAnyFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            char dir[] = "/tmp/vexa-noconf.XXXXXX";
            if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
                std::exit(2);
            }
            unsetenv("VEXA_HOME");
            {
                Config config(1);
                expectValues(config, kFallback, "no VEXA_HOME");
                if (config.userMulticastPort() != 7651) {
                    std::exit(3);
                }
            }
            rmdir(dir);
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            char dir[] = "/tmp/vexa-noconf.XXXXXX";
            if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
                std::exit(2);
            }
            setenv("VEXA_HOME", dir, 1);  // a root without conf/rtps.cfg
            {
                Config config(0);
                expectValues(config, kFallback, "empty VEXA_HOME");
            }
            rmdir(dir);
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The shipped configuration under VEXA_HOME keeps traffic on loopback.
// The shipped file keeps the row defaults but for the response delays, which it sets to 0 (upper
// bounds: a reader that misses data asks at once, a writer repairs at once).
TEST(Config, ShippedFileIsRead) {
    setenv("VEXA_HOME", VEXA_STAGE_DIR, 0);
    Config config(0);
    Values shipped = kRowDefaults;
    shipped.heartbeatResponse = 0;
    shipped.nackResponse = 0;
    expectValues(config, shipped, "shipped rtps.cfg");
}

TEST(PortMapping, PortsOfDomainAndIndex) {
    struct Case {
        uint32_t domain;
        uint32_t index;
        uint16_t metaMulticast, userMulticast, metaUnicast, userUnicast;
    };
    const Case cases[] = {
        {0, 0, 7400, 7401, 7410, 7411},
        {1, 0, 7650, 7651, 7660, 7661},
        {0, 1, 7400, 7401, 7412, 7413},
        {2, 5, 7900, 7901, 7920, 7921},
        // The largest domain and index still fit a port.
        {229, 119, 64650, 64651, 64898, 64899},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RTPS::metatrafficMulticastPort(c.domain), c.metaMulticast) << c.domain;
        EXPECT_EQ(RTPS::userMulticastPort(c.domain), c.userMulticast) << c.domain;
        EXPECT_EQ(RTPS::metatrafficUnicastPort(c.domain, c.index), c.metaUnicast)
            << c.domain << "/" << c.index;
        EXPECT_EQ(RTPS::userUnicastPort(c.domain, c.index), c.userUnicast)
            << c.domain << "/" << c.index;
    }
}

// Each participant takes the next index of the host's counter, and its ports follow it.
TEST(Config, TakesSuccessiveHostIndicesAndDerivesPorts) {
    if (std::getenv("VEXA_ISOLATED") == nullptr) {
        GTEST_SKIP() << "the host's counter is shared with other processes outside the launcher";
    }
    for (uint32_t domain : {0u, 7u}) {
        Config first(domain);
        Config second(domain);
        const uint32_t i = first.hostWideIndex();
        ASSERT_LT(i, 120u);
        EXPECT_EQ(second.hostWideIndex(), (i + 1) % 120);
        EXPECT_EQ(first.domainId(), domain);
        EXPECT_EQ(first.userMulticastPort(), 7401 + 250 * domain);
        EXPECT_EQ(first.metatrafficUnicastPort(), 7410 + 250 * domain + 2 * i);
        EXPECT_EQ(first.userUnicastPort(), 7411 + 250 * domain + 2 * i);
        EXPECT_EQ(second.userUnicastPort(), 7411 + 250 * domain + 2 * second.hostWideIndex());
    }
}
