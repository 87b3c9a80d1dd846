#include "transport/TransportConfig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/ChildProcess.h"
#include "common/conf/ConfigurationManager.h"
#include "rtps/LogCapture.h"

namespace {

using RTPS::TransportConfig;

struct Expected {
    int buffers, bufferSize, rtpsBuffers, report, dispatcher, select;
    const char* interface;
    int maxData;
};

constexpr Expected kDefaults{1024, 65507, 64, 5, 5, 5, "0.0.0.0", 65507};

void expectConfig(const TransportConfig& config, const Expected& e) {
    EXPECT_EQ(config.getNumberOfBuffers(), e.buffers);
    EXPECT_EQ(config.getBufferSize(), e.bufferSize);
    EXPECT_EQ(config.getNumberOfRtpsBuffers(), e.rtpsBuffers);
    EXPECT_EQ(config.getReportTimeout(), e.report);
    EXPECT_EQ(config.getDispatcherTimeout(), e.dispatcher);
    EXPECT_EQ(config.getSelectTimeout(), e.select);
    EXPECT_STREQ(config.getMulticastInterface(), e.interface);
    EXPECT_EQ(config.getMaxDataSize(), e.maxData);
    EXPECT_EQ(config.getSocketBufferSize(), 33554432);
    EXPECT_TRUE(config.isValid());
}

void writeFile(const char* text) {
    std::FILE* file = std::fopen("trellis.cfg", "w");
    std::fputs(text, file);
    std::fclose(file);
}

TEST(TransportConfig, EveryValueFromTheFile) {
    writeFile(
        "TRANSPORT.NUMBER_OF_BUFFERS = 7\nTRANSPORT.BUFFER_SIZE = 1500\n"
        "TRANSPORT.NUMBER_OF_RTPS_BUFFERS = 9\nTRANSPORT.REPORT_TIMEOUT = 11\n"
        "TRANSPORT.DISPATCHER_TIMEOUT = 12\nTRANSPORT.SELECT_TIMEOUT = 13\n"
        "TRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\nTRANSPORT.MAX_TR_DATA_SIZE = 9000\n");
    expectConfig(TransportConfig(), {7, 1500, 9, 11, 12, 13, "127.0.0.1", 9000});
}

TEST(TransportConfig, MissingKeysTakeTheirDefaults) {
    // The out-of-range value counts as missing; the others are kept.
    writeFile(
        "TRANSPORT.NUMBER_OF_BUFFERS = 64\nTRANSPORT.SELECT_TIMEOUT = 2\n"
        "TRANSPORT.DISPATCHER_TIMEOUT = 61\nTRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\n");
    expectConfig(TransportConfig(), {64, 65507, 64, 5, 5, 2, "127.0.0.1", 65507});
}

TEST(TransportConfig, ReadErrorGivesAllDefaults) {
    // A directory opens but cannot be read; the installed trellis.cfg is not consulted then.
    std::remove("trellis.cfg");
    ASSERT_EQ(mkdir("trellis.cfg", 0700), 0);
    expectConfig(TransportConfig(), kDefaults);
    rmdir("trellis.cfg");
}

TEST(TransportConfig, NoFileGivesAllDefaults) {
    const int rc = vexatest::runInChild([] {
        unsetenv("VEXA_HOME");
        char home[256];
        vexaconf::ConfigurationManager::getVexaHome(sizeof home, home);
        if (home[0] != '\0') {
            return vexatest::CHILD_SKIP;  // the process has cached it already
        }
        const TransportConfig config;
        CHILD_CHECK(config.getNumberOfBuffers() == kDefaults.buffers);
        CHILD_CHECK(config.getNumberOfRtpsBuffers() == kDefaults.rtpsBuffers);
        CHILD_CHECK(config.getSelectTimeout() == kDefaults.select);
        CHILD_CHECK(std::string(config.getMulticastInterface()) == kDefaults.interface);
        CHILD_CHECK(config.getMaxDataSize() == kDefaults.maxData);
        return vexatest::CHILD_PASS;
    });
    if (rc == vexatest::CHILD_SKIP) {
        GTEST_SKIP() << "VEXA_HOME cached by an earlier test of this process";
    }
    EXPECT_EQ(rc, vexatest::CHILD_PASS);
}

// A working-directory trellis.cfg replaces the installed one whole, so a file holding only the
// DSVC line puts the multicast interface back to 0.0.0.0. The lookup order stays; the log says
// which file was read and, where the default level shows it, that the local one replaced the
// installed one.
TEST(TransportConfig, TheLogNamesTheFileReadAndALocalOneThatReplacesTheInstalledOne) {
    const char* home = std::getenv("VEXA_HOME");
    ASSERT_NE(home, nullptr);
    const std::string installed = std::string(home) + "/conf/trellis.cfg";
    ASSERT_EQ(access(installed.c_str(), R_OK), 0) << installed;
    LogCapture capture;
    vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_CONFIG);
    const std::string replaced =
        "Файл trellis.cfg из рабочего каталога прочитан вместо " + installed;

    writeFile("DSVC.SERVER_IP = 127.0.0.1\n");
    const TransportConfig local;
    EXPECT_STREQ(local.getMulticastInterface(), "0.0.0.0");
    EXPECT_EQ(LogCapture::count("Конфигурация trellis.cfg: trellis.cfg"), 1u) << LogCapture::text();
    EXPECT_EQ(LogCapture::count(replaced), 1u) << LogCapture::text();

    std::remove("trellis.cfg");
    const TransportConfig fromHome;
    EXPECT_STREQ(fromHome.getMulticastInterface(), "127.0.0.1");
    EXPECT_EQ(LogCapture::count("Конфигурация trellis.cfg: " + installed), 1u)
        << LogCapture::text();
    EXPECT_EQ(LogCapture::count(replaced), 1u) << "a second warning without a local file";
}

}  // namespace
