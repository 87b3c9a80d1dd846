#include "common/conf/ConfigurationManager.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/PausedCalls.h"
#include "common/NonRegularFiles.h"

using vexaconf::ConfigurationManager;
using vexaconf::ConfigurationParameter;
using Code = ConfigurationManager::CONFIGURATION_PARAMETERS;
using Set = ConfigurationManager::CONFIGURATION_SET;

namespace {

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// A manager of `set` that has read `content` from a file in the working directory.
struct ReadFile {
    ReadFile(Set set, const std::string& content, const char* name = "case.cfg")
        : manager(set, name) {
        writeFile(name, content);
        status = manager.read();
    }
    ConfigurationManager manager;
    unsigned status;
};

}  // namespace

struct LineCase {
    Set set;
    const char* content;
    const char* name;
    const char* text;  // the value as getParameter(name) writes it
    unsigned status;   // 0 from the file, 1 default
};

TEST(ConfigurationManager, FileLinesGiveValueAndStatus) {
    const LineCase cases[] = {
        {Set::SET_TRELLIS, "TRANSPORT.BUFFER_SIZE=70000\n", "TRANSPORT.BUFFER_SIZE", "65507", 1},
        {Set::SET_TRELLIS, "TRANSPORT.BUFFER_SIZE=1000\n", "TRANSPORT.BUFFER_SIZE", "1000", 0},
        {Set::SET_TRELLIS, "TRANSPORT.MAX_TR_DATA_SIZE=999\n", "TRANSPORT.MAX_TR_DATA_SIZE",
         "65507", 1},
        {Set::SET_RTPS, "BUSINESS.HEARTBEAT_PERIOD=50\n", "BUSINESS.HEARTBEAT_PERIOD", "10000", 1},
        {Set::SET_RTPS, "BUSINESS.HEARTBEAT_PERIOD = 1 2 0 0\n", "BUSINESS.HEARTBEAT_PERIOD",
         "1200", 0},
        // Letters read as 0, which is in range here.
        {Set::SET_RTPS, "BUSINESS.NACK_RESPONSE_DELAY=abc\n", "BUSINESS.NACK_RESPONSE_DELAY", "0",
         0},
        {Set::SET_RTPS, "BUSINESS.NACK_RESPONSE_DELAY=75ms\n", "BUSINESS.NACK_RESPONSE_DELAY", "75",
         0},
        // Negative and above-int32 values would become negative periods: the default stays.
        {Set::SET_RTPS, "BUSINESS.NACK_RESPONSE_DELAY=-5\n", "BUSINESS.NACK_RESPONSE_DELAY", "200",
         1},
        {Set::SET_RTPS, "BUSINESS.HEARTBEAT_PERIOD=2147483648\n", "BUSINESS.HEARTBEAT_PERIOD",
         "10000", 1},
        {Set::SET_RTPS, "BUSINESS.HEARTBEAT_PERIOD=4294967396\n", "BUSINESS.HEARTBEAT_PERIOD",
         "10000", 1},
        {Set::SET_RTPS, "BUSINESS.HEARTBEAT_PERIOD=2147483647\n", "BUSINESS.HEARTBEAT_PERIOD",
         "2147483647", 0},
        {Set::SET_RTPS, "BUSINESS.PUSH_MODE=НЕТ\n", "BUSINESS.PUSH_MODE", "0", 0},
        {Set::SET_RTPS, "BUSINESS.PUSH_MODE=да\n", "BUSINESS.PUSH_MODE", "0", 0},
        {Set::SET_RTPS, "BUSINESS.PUSH_MODE=ДА\n", "BUSINESS.PUSH_MODE", "1", 0},
        {Set::SET_RTPS, "BUSINESS.USER_MULTICASTING_MODE=ПО_ПИСАТЕЛЯМ\n",
         "BUSINESS.USER_MULTICASTING_MODE", "1", 0},
        {Set::SET_DCPS, "DCPS.READABLE_LOG_LEVEL=отладка\n", "DCPS.READABLE_LOG_LEVEL", "3", 1},
        {Set::SET_DCPS, "DCPS.READABLE_LOG_LEVEL=ОТЛАДКА\n", "DCPS.READABLE_LOG_LEVEL", "6", 0},
        {Set::SET_RTPS, "BUSINESS.SPDP_ANNOUNCE_PERIOD=500\r\n", "BUSINESS.SPDP_ANNOUNCE_PERIOD",
         "500", 0},
        {Set::SET_RTPS, "BUSINESS.SPDP_ANNOUNCE_PERIOD=500", "BUSINESS.SPDP_ANNOUNCE_PERIOD", "500",
         0},
        {Set::SET_RTPS, "#BUSINESS.SPDP_ANNOUNCE_PERIOD=500\n", "BUSINESS.SPDP_ANNOUNCE_PERIOD",
         "30000", 1},
        {Set::SET_RTPS, "BUSINESS.SPDP_ANNOUNCE_PERIOD 500\n", "BUSINESS.SPDP_ANNOUNCE_PERIOD",
         "30000", 1},
        {Set::SET_RTPS, "BUSINESS.SPDP_ANNOUNCE_PERIOD=\n", "BUSINESS.SPDP_ANNOUNCE_PERIOD",
         "30000", 1},
        // Short lines around the line-end handling, then a later line overrides an earlier one.
        {Set::SET_RTPS,
         "\n\r\nx\n\r\r\nBUSINESS.SPDP_ANNOUNCE_PERIOD=10\nBUSINESS.SPDP_ANNOUNCE_PERIOD=20\n",
         "BUSINESS.SPDP_ANNOUNCE_PERIOD", "20", 0},
        {Set::SET_RTPS, "BUSINESS.DEFAULT_UNICAST_IP = 10.1.2.3\n", "BUSINESS.DEFAULT_UNICAST_IP",
         "10.1.2.3", 0},
        {Set::SET_RTPS, "BUSINESS.DEFAULT_UNICAST_IP=255.255.255.255.255.255\n",
         "BUSINESS.DEFAULT_UNICAST_IP", "255.255.255.255", 0},
        {Set::SET_TRELLIS, "DSVC.SERVER_IP = 10.0.0.1, 10.0.0.2\n", "DSVC.SERVER_IP",
         "10.0.0.1,10.0.0.2", 0},
        {Set::SET_TRELLIS, "DSVC.SERVER_IP =\n", "DSVC.SERVER_IP", "", 0},
        // A parameter of another set is only an extra entry here.
        {Set::SET_DCPS, "BUSINESS.HEARTBEAT_PERIOD=700\n", "BUSINESS.HEARTBEAT_PERIOD", "700", 0},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.content);
        ReadFile f(c.set, c.content);
        ASSERT_EQ(f.status, 0u);
        char text[64] = {};
        EXPECT_EQ(f.manager.getParameter(c.name, sizeof text, text), c.status);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(ConfigurationManager, TypedGettersAnswerByCodeAndSet) {
    ReadFile f(Set::SET_RTPS,
               "BUSINESS.PUSH_MODE=НЕТ\nBUSINESS.USER_MULTICASTING_MODE=ОТКЛЮЧЕН\n"
               "BUSINESS.DEFAULT_MULTICAST_IP=239.1.1.1\n");
    int i = -1;
    bool b = true;
    char ip[16];
    EXPECT_EQ(f.manager.getBoolParameter(Code::BUSINESS_PUSH_MODE, &b), 0u);
    EXPECT_FALSE(b);
    EXPECT_EQ(f.manager.getIntParameter(Code::BUSINESS_USER_MULTICASTING_MODE, &i), 0u);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(f.manager.getIntParameter(Code::BUSINESS_HEARTBEAT_PERIOD, &i), 1u);
    EXPECT_EQ(i, 10000);
    EXPECT_EQ(f.manager.getStringParameter(Code::BUSINESS_DEFAULT_MULTICAST_IP, 16, ip), 0u);
    EXPECT_STREQ(ip, "239.1.1.1");
    EXPECT_EQ(f.manager.getStringParameter(Code::BUSINESS_DEFAULT_UNICAST_IP, 16, ip), 1u);
    EXPECT_STREQ(ip, "127.0.0.1");
    // Wrong type, another set's code, codes outside 1..40.
    EXPECT_EQ(f.manager.getIntParameter(Code::BUSINESS_PUSH_MODE, &i), 6u);
    EXPECT_EQ(f.manager.getBoolParameter(Code::BUSINESS_RESEND_PERIOD, &b), 6u);
    EXPECT_EQ(f.manager.getStringParameter(Code::BUSINESS_RESEND_PERIOD, 16, ip), 6u);
    EXPECT_EQ(f.manager.getIntParameter(Code::DCPS_READABLE_LOG_LEVEL, &i), 6u);
    EXPECT_EQ(f.manager.getIntParameter(Code::PARAMETER_UNKNOWN, &i), 2u);
    EXPECT_EQ(f.manager.getIntParameter(Code::VEXA_HOME, &i), 2u);
    EXPECT_EQ(f.manager.getBoolParameter(static_cast<Code>(1000), &b), 2u);

    ConfigurationManager dcps(Set::SET_DCPS);
    EXPECT_EQ(dcps.getIntParameter(Code::BUSINESS_DEFAULT_UNICAST_IP, &i), 6u);
    EXPECT_EQ(dcps.getIntParameter(Code::PARAMETER_UNKNOWN, &i), 2u);

    ReadFile ds(Set::SET_DS, "DS.MAX_SAMPLES_PER_DR_LIMIT=77\n", "ds-case.cfg");
    EXPECT_EQ(ds.manager.getIntParameter(Code::DS_MAX_SAMPLES_PER_DR_LIMIT, &i), 0u);
    EXPECT_EQ(i, 77);
}

// Every row of every set parses; the log-level words are indexed as the logger's severities.
TEST(ConfigurationManager, EveryDefinitionRowIsDefined) {
    for (unsigned set = 1; set <= 4; ++set) {
        ConfigurationManager m(static_cast<Set>(set));
        unsigned defined = 0;
        for (unsigned code = 1; code <= 40; ++code) {
            const ConfigurationParameter* p = m.getParameter(static_cast<Code>(code));
            ASSERT_NE(p, nullptr);
            if (p->getState() == ConfigurationParameter::STATE_DEFAULT) {
                ++defined;
                EXPECT_EQ(m.getParameterCodeByName(p->getStringId()), code);
            }
        }
        EXPECT_EQ(defined, ConfigurationManager::SET_SIZES[set]) << "set " << set;
    }
    ConfigurationManager dcps(Set::SET_DCPS);
    int level = 0;
    EXPECT_EQ(dcps.getIntParameter(Code::DCPS_READABLE_LOG_LEVEL, &level), 1u);
    EXPECT_EQ(level, 3);
    EXPECT_EQ(dcps.getIntParameter(Code::DCPS_BINARY_LOG_LEVEL, &level), 1u);
    EXPECT_EQ(level, 5);
    EXPECT_EQ(dcps.getParameter(Code::DCPS_READABLE_LOG_LEVEL)->getAlternatives().at(7),
              "ОТЛАДКА_2");
    EXPECT_EQ(ConfigurationManager(Set::SET_NONE).getParameterCodeByName("TRANSPORT.BUFFER_SIZE"),
              Code::PARAMETER_UNKNOWN);
}

TEST(ConfigurationManager, FileNameRule) {
    const struct {
        Set set;
        const char* given;
        const char* expected;
    } cases[] = {
        {Set::SET_RTPS, nullptr, "rtps.cfg"},
        {Set::SET_RTPS, "rtps", "rtps.cfg"},
        {Set::SET_RTPS, "rtps.cfg", "rtps.cfg"},
        {Set::SET_RTPS, ".cfg", ".cfg.cfg"},
        {Set::SET_DS, "x.CFG", "x.CFG.cfg"},
        {Set::SET_TRELLIS, nullptr, "trellis.cfg"},
        {Set::SET_NONE, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(ConfigurationManager(c.set, c.given).getFileName(), c.expected)
            << (c.given ? c.given : "(null)");
    }
}

// A line that starts with blanks and then '#' is no comment; unknown names become items.
TEST(ConfigurationManager, UnknownEntriesAreItemsNewestFirst) {
    ReadFile f(Set::SET_RTPS, "  #x=1\nPEER=a\nPEER = b\nVEXA_HOME=/nowhere\n");
    char value[8];
    EXPECT_EQ(f.manager.getParameter("#x", sizeof value, value), 0u);
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(f.manager.getParameter("PEER", sizeof value, value), 0u);
    EXPECT_STREQ(value, "b");
    EXPECT_EQ(f.manager.getParameter("VEXA_HOME", 0, nullptr), 7u);  // not an item
    EXPECT_EQ(f.manager.getParameter("NONE", sizeof value, value), 2u);
    EXPECT_EQ(f.manager.getParameter(nullptr, sizeof value, value), 2u);
    EXPECT_EQ(f.manager.getParameter("PEER", 1, value), 3u);

    const vexaconf::ConfigurationItem* item = f.manager.getParameter("PEER", nullptr, 8, value);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(value, "b");
    item = f.manager.getParameter("PEER", item, 8, value);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(value, "a");
    EXPECT_EQ(f.manager.getParameter("PEER", item, 8, value), nullptr);
}

TEST(ConfigurationManager, ProgramArgumentsBecomeItems) {
    ConfigurationManager m(Set::SET_DS);
    const char* argv[] = {"vexads", "-domain=3", "verbose", "--x=a=b", "-"};
    EXPECT_EQ(m.parseProgrammParameters(5, argv), 0u);
    char value[8];
    EXPECT_EQ(m.getParameter("domain", sizeof value, value), 0u);
    EXPECT_STREQ(value, "3");
    EXPECT_EQ(m.getParameter("verbose", sizeof value, value), 0u);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(m.getParameter("-x", sizeof value, value), 0u);
    EXPECT_STREQ(value, "a=b");
    EXPECT_EQ(m.getParameter("vexads", sizeof value, value), 2u);
}

// No getter writes past the size it is given.
TEST(ConfigurationManager, BufferSizesAreHonoured) {
    ReadFile f(Set::SET_TRELLIS, "DSVC.SERVER_IP=10.0.0.1\n");
    const struct {
        const char* name;
        int size;
        unsigned status;
    } cases[] = {
        {"TRANSPORT.BUFFER_SIZE", 5, 3},
        {"TRANSPORT.BUFFER_SIZE", 6, 1},
        {"TRANSPORT.MULTICAST_INTERFACE", 7, 7},
        {"TRANSPORT.MULTICAST_INTERFACE", 8, 1},
        {"DSVC.SERVER_IP", 8, 3},
        {"DSVC.SERVER_IP", 9, 0},
        {"DSVC.SERVER_IP", 0, 3},
        {"TRANSPORT.BUFFER_SIZE", -1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " size " + std::to_string(c.size));
        char buffer[32];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(f.manager.getParameter(c.name, c.size, buffer), c.status);
        const int used = c.size > 0 ? c.size : 0;
        for (int i = used; i < static_cast<int>(sizeof buffer); ++i) {
            ASSERT_EQ(buffer[i], 'Z') << "byte " << i;
        }
    }
}

TEST(ConfigurationManager, ReadErrorAndMissingFile) {
    ASSERT_EQ(mkdir("dir.cfg", 0755), 0);
    ConfigurationManager dir(Set::SET_RTPS, "dir.cfg");
    EXPECT_EQ(dir.read(), 10u);
    EXPECT_TRUE(dir.isConfigurationRead());

    ConfigurationManager missing(Set::SET_RTPS, "no-such-file");
    EXPECT_EQ(missing.read(), 8u);
    EXPECT_FALSE(missing.isConfigurationRead());
    EXPECT_STREQ(missing.getFilePath(), "");
    int value = 0;
    EXPECT_EQ(missing.getIntParameter(Code::BUSINESS_SPDP_ANNOUNCE_PERIOD, &value), 1u);
    EXPECT_EQ(value, 30000);
}

// A name that is no regular file is read as a file that fails at once: nothing blocks, spins or
// grows, and every value keeps its default.
TEST(ConfigurationManager, NoRegularFileFailsAtOnce) {
    const auto files = vexatest::makeNonRegularFiles("nonregular", ".cfg");
    ASSERT_EQ(files.size(), 3u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        const int rc = vexatest::runWithinASecond([&f] {
            ConfigurationManager m(Set::SET_RTPS, f.name.c_str());
            CHILD_CHECK(m.read() == 10);
            int value = 0;
            CHILD_CHECK(m.getIntParameter(Code::BUSINESS_SPDP_ANNOUNCE_PERIOD, &value) == 1);
            CHILD_CHECK(value == 30000);
            return 0;
        });
        EXPECT_EQ(rc, 0) << (rc == vexatest::CHILD_CRASHED + SIGALRM ? "still reading" : "");
    }
}

// A file longer than any configuration is read up to the limit: the lines before it stay, the
// ones after it are not read.
TEST(ConfigurationManager, FilePastTheLimitIsReadUpToIt) {
    writeFile("long.cfg", "BUSINESS.RESEND_PERIOD=4321\n");
    const std::string late = "\nBUSINESS.HEARTBEAT_PERIOD=500\n";
    const int fd = ::open("long.cfg", O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, late.data(), late.size(), ConfigurationManager::MAX_FILE_BYTES),
              static_cast<ssize_t>(late.size()));
    ::close(fd);
    ConfigurationManager m(Set::SET_RTPS, "long.cfg");
    EXPECT_EQ(m.read(), 10u);
    int value = 0;
    EXPECT_EQ(m.getIntParameter(Code::BUSINESS_RESEND_PERIOD, &value), 0u);
    EXPECT_EQ(value, 4321);
    EXPECT_EQ(m.getIntParameter(Code::BUSINESS_HEARTBEAT_PERIOD, &value), 1u);
    EXPECT_EQ(value, 10000);
}

TEST(ConfigurationManager, ConfigurationStringsListNonDefaults) {
    char buffer[256];
    unsigned count = 0, length = 0;
    ConfigurationManager unread(Set::SET_RTPS);
    EXPECT_EQ(unread.getConfigurationStrings(sizeof buffer, buffer, count, length), 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(buffer, "Конфигурационный файл не считывался.");

    ReadFile f(Set::SET_RTPS,
               "BUSINESS.RESEND_PERIOD=30000\nBUSINESS.PUSH_MODE=НЕТ\n"
               "BUSINESS.USER_MULTICASTING_MODE=ОТКЛЮЧЕН\n");
    EXPECT_EQ(f.manager.getConfigurationStrings(sizeof buffer, buffer, count, length), 0u);
    const std::string expected = std::string("case.cfg") + '\0' + "BUSINESS.PUSH_MODE = НЕТ" +
                                 '\0' + "BUSINESS.USER_MULTICASTING_MODE = ОТКЛЮЧЕН" + '\0';
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(length, expected.size());
    EXPECT_EQ(std::string(buffer, length), expected);

    EXPECT_EQ(f.manager.getConfigurationStrings(20, buffer, count, length), 13u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(length, expected.size());
}

// The shipped files name every parameter of their set correctly and keep traffic on loopback.
TEST(ConfigurationManager, ShippedFilesSetEveryParameter) {
    for (unsigned set = 1; set <= 4; ++set) {
        const std::string path = std::string(VEXA_SOURCE_DIR "/conf/") +
                                 ConfigurationManager::getDefaultFileName(static_cast<Set>(set));
        SCOPED_TRACE(path);
        ConfigurationManager m(static_cast<Set>(set), path.c_str());
        ASSERT_EQ(m.read(), 0u);
        char text[64];
        EXPECT_EQ(m.getParameter("anything-unknown", nullptr, sizeof text, text), nullptr);
        for (unsigned code = 1; code <= 40; ++code) {
            const ConfigurationParameter* p = m.getParameter(static_cast<Code>(code));
            if (p->getType() == ConfigurationParameter::TYPE_UNDEFINED) {
                continue;
            }
            EXPECT_EQ(p->getState(), ConfigurationParameter::STATE_FROM_FILE) << p->getStringId();
        }
        unsigned count = 0, length = 0;
        char listing[4096];
        ASSERT_EQ(m.getConfigurationStrings(sizeof listing, listing, count, length), 0u);
        if (set == 1) {
            EXPECT_EQ(m.getStringParameter(Code::TRANSPORT_MULTICAST_INTERFACE, 16, text), 0u);
            EXPECT_STREQ(text, "127.0.0.1");
            // A late reader asks the service on this host.
            EXPECT_EQ(m.getStringParameter(Code::DSVC_SERVER_IP, sizeof text, text), 0u);
            EXPECT_STREQ(text, "127.0.0.1");
        } else if (set == 3) {
            EXPECT_EQ(m.getStringParameter(Code::BUSINESS_DEFAULT_UNICAST_IP, 16, text), 0u);
            EXPECT_STREQ(text, "127.0.0.1");
        }
    }
}

// With no file in the working directory the file under VEXA_HOME/conf is read.
TEST(ConfigurationManager, FindsFileUnderVexaHome) {
    ConfigurationManager m(Set::SET_DCPS);
    ASSERT_EQ(m.read(), 0u);
    EXPECT_EQ(std::string(m.getFilePath()), std::string(VEXA_STAGE_DIR) + "/conf/dcps.cfg");
    char home[2048];
    EXPECT_EQ(m.getStringParameter(Code::VEXA_HOME, sizeof home, home), 0u);
    EXPECT_STREQ(home, VEXA_STAGE_DIR);
    EXPECT_EQ(ConfigurationManager::getVexaHome(sizeof home, home), 0u);
    EXPECT_EQ(ConfigurationManager::getVexaHome(3, home), 7u);
    EXPECT_EQ(m.getStringParameter(Code::VEXA_HOME, 3, home), 7u);
}

// The cache of VEXA_HOME lives for the process: these run in a fresh process each.
class VexaHomeProcess : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(VexaHomeProcess, UnsetHomeMeansNotFound) {
    EXPECT_EXIT(
        {
            unsetenv("VEXA_HOME");
            ConfigurationManager m(Set::SET_DCPS);
            char home[8];
            const bool ok =
                m.getStringParameter(Code::VEXA_HOME, sizeof home, home) == 5 && m.read() == 8 &&
                ConfigurationManager::getVexaHome(sizeof home, home) == 0 && home[0] == '\0';
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(VexaHomeProcess, HomeIsReadAgainWhileUnset) {
    EXPECT_EXIT(
        {
            unsetenv("VEXA_HOME");
            char cwd[1024];
            if (getcwd(cwd, sizeof cwd) == nullptr)
                std::exit(2);
            const std::string root = std::string(cwd) + "/root";
            mkdir(root.c_str(), 0755);
            mkdir((root + "/conf").c_str(), 0755);
            writeFile(root + "/conf/special.cfg", "BUSINESS.RESEND_PERIOD=4321\n");
            ConfigurationManager m(Set::SET_RTPS, "special");
            if (m.read() != 8)
                std::exit(3);
            setenv("VEXA_HOME", root.c_str(), 1);
            int value = 0;
            const bool ok = m.read() == 0 && m.getFilePath() == root + "/conf/special.cfg" &&
                            m.getIntParameter(Code::BUSINESS_RESEND_PERIOD, &value) == 0 &&
                            value == 4321;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Participants and loggers are made on different threads, and any of them may be the first to
// fill the process's VEXA_HOME text: every one must read it whole. In a fresh process, where the
// text is still empty, all threads start at once and reading the variable takes a while, so
// that they all arrive while the first is still filling it in; ThreadSanitizer (make tsan)
// then reports an unguarded cache every time.
TEST(ConfigurationManager, ConcurrentFirstUseOfVexaHome) {
    constexpr int THREADS = 8;
    const std::string root = std::string(VEXA_STAGE_DIR) + "/" + std::string(64, 'h');
    const int rc = vexatest::runInChild([&root] {
        ::setenv("VEXA_HOME", root.c_str(), 1);
        vexatest::g_getenvPauseName = "VEXA_HOME";
        vexatest::g_getenvPauseMs = 50;
        std::atomic<bool> go{false};
        std::atomic<int> whole{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) {
            threads.emplace_back([&, t] {
                while (!go.load()) {
                }
                char home[256] = {};
                if (t % 2 == 0) {
                    ConfigurationManager m(Set::SET_DCPS, "absent");
                    m.read();
                    m.getStringParameter(Code::VEXA_HOME, sizeof home, home);
                } else {
                    ConfigurationManager::getVexaHome(sizeof home, home);
                }
                whole += root == home ? 1 : 0;
            });
        }
        go = true;
        for (std::thread& t : threads) {
            t.join();
        }
        CHILD_CHECK(whole.load() == THREADS);
        return 0;
    });
    EXPECT_EQ(rc, 0);
}
