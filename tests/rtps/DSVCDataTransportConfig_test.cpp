#include "rtps/dsvc/DSVCDataTransportConfig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using RTPS::DSVCDataTransportConfig;
using Servers = std::vector<std::string>;

TEST(DSVCDataTransportConfig, ServerListKeepsEveryAddressInOrder) {
    struct Case {
        char const* text;
        Servers servers;
    } const cases[] = {
        {"", {}},
        {"10.0.0.1", {"10.0.0.1"}},
        {"127.0.0.1", {"127.0.0.1"}},
        {"10.0.0.1,10.0.0.2", {"10.0.0.1", "10.0.0.2"}},
        {"10.0.0.1,,10.0.0.3", {"10.0.0.1", "10.0.0.3"}},
        {",10.0.0.2,", {"10.0.0.2"}},
        {"server,10.0.0.2", {"10.0.0.2"}},
        {"10.0.0.1,300.1.1.1", {"10.0.0.1"}},
        {"1.2.3.4,5.6.7.8,9.10.11.12", {"1.2.3.4", "5.6.7.8", "9.10.11.12"}},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(DSVCDataTransportConfig::splitServerList(c.text), c.servers) << c.text;
    }
}

class DSVCTrellisFile : public ::testing::Test {
protected:
    // The working directory is the test's own (isolation launcher): the file found first.
    void write(std::string const& text) { std::ofstream("trellis.cfg") << text; }
    void TearDown() override { std::remove("trellis.cfg"); }
};

TEST_F(DSVCTrellisFile, PortAndServersFromTheFile) {
    write("DSVC.SERVER_PORT = 7500\nDSVC.SERVER_IP = 127.0.0.1, 10.0.0.1\n");
    DSVCDataTransportConfig config;
    EXPECT_EQ(config.getPort(), 7500);
    EXPECT_EQ(config.getServers(), (Servers{"127.0.0.1", "10.0.0.1"}));
}

TEST_F(DSVCTrellisFile, PortOutOfRangeKeepsTheDefault) {
    write("DSVC.SERVER_PORT = 80\nDSVC.SERVER_IP = 10.0.0.1\n");
    DSVCDataTransportConfig config;
    EXPECT_EQ(config.getPort(), 7399);
    EXPECT_EQ(config.getServers(), (Servers{"10.0.0.1"}));
}

TEST_F(DSVCTrellisFile, ServerTextTooLongGivesNoServersAndTheDefaultPort) {
    std::string list = "10.0.0.1";
    while (list.size() < 1100) {
        list += ",10.0.0.1";
    }
    write("DSVC.SERVER_PORT = 7500\nDSVC.SERVER_IP = " + list + "\n");
    DSVCDataTransportConfig config;
    EXPECT_EQ(config.getPort(), 7399);
    EXPECT_TRUE(config.getServers().empty());
}

}  // namespace
