#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/conf/ConfigurationManager.h"
#include "common/log/Logger.h"

using vexaconf::ConfigurationManager;
using vexalog::Logger;

namespace {

void setSentinels(Logger& log) {
    log.setLogLevelReadable(1);
    log.setMaxFilesReadable(7);
    log.setMaxSizeReadable(111111);
    log.setLogLevelBinary(2);
    log.setMaxFilesBinary(9);
    log.setMaxSizeBinary(222222);
}

}  // namespace

// Reading dcps.cfg with apply pushes the log values the file holds, and nothing else.
TEST(LogSettings, ApplyPushesOnlyValuesFromTheFile) {
    std::ofstream("apply.cfg") << "DCPS.READABLE_LOG_LEVEL = ОТЛАДКА\n"
                                  "DCPS.BINARY_LOG_FILES_NUMBER = 4\n"
                                  "DCPS.BINARY_LOG_FILE_SIZE = 50\n";  // out of range
    Logger& log = Logger::getLogger();
    setSentinels(log);

    ConfigurationManager withoutApply(ConfigurationManager::SET_DCPS, "apply.cfg");
    ASSERT_EQ(withoutApply.read(false), 0u);
    EXPECT_EQ(log.getLogLevelReadable(), 1);
    EXPECT_EQ(log.getMaxFilesBinary(), 9);

    ConfigurationManager otherSet(ConfigurationManager::SET_RTPS, "apply.cfg");
    ASSERT_EQ(otherSet.read(true), 0u);
    EXPECT_EQ(log.getLogLevelReadable(), 1);

    ConfigurationManager dcps(ConfigurationManager::SET_DCPS, "apply.cfg");
    ASSERT_EQ(dcps.read(true), 0u);
    EXPECT_EQ(log.getLogLevelReadable(), 6);
    EXPECT_EQ(log.getMaxFilesBinary(), 4);
    EXPECT_EQ(log.getMaxFilesReadable(), 7);
    EXPECT_EQ(log.getMaxSizeReadable(), 111111);
    EXPECT_EQ(log.getLogLevelBinary(), 2);
    EXPECT_EQ(log.getMaxSizeBinary(), 222222);
}
