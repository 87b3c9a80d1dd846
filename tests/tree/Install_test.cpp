// The install as a new user makes it, from the build tree into a fresh prefix: every rule must
// find what it names, and the installed programs must run from there.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "RunProgram.h"

namespace fs = std::filesystem;

TEST(Install, FreshPrefixHoldsTheDeliveryAndItsProgramsRun) {
    vexatest::TempDir prefix("vexa-install");
    vexatest::TempDir work("vexa-install-run");
    ASSERT_FALSE(prefix.path().empty());
    ASSERT_FALSE(work.path().empty());

    const vexatest::ProgramRun install =
        vexatest::runProgram({VEXA_CMAKE, "--install", VEXA_BUILD_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.status, 0) << install.output;

    const char* const delivered[] = {
        "lib/libvexa64.so",
        "lib/libtrellis.so",
        "bin/vexads",
        "include/vexa_pack.h",
        "include/dds/core/Value.hpp",
        "conf/trellis.cfg",
        "conf/dcps.cfg",
        "conf/rtps.cfg",
        "conf/ds.cfg",
        "resources/strings/rtps_strings_ru.res",
        "resources/strings/dcps_strings_ru.res",
        "resources/strings/ds_strings_ru.res",
#ifdef VEXA_HAVE_TESSGEN
        "bin/tessgen",
        "bin/resource/VEXA_DataTypes.xsd",
#endif
    };
    for (const char* file : delivered) {
        EXPECT_TRUE(fs::is_regular_file(fs::path(prefix.path()) / file)) << file;
    }

    const std::string home = "VEXA_HOME=" + prefix.path();
    // The durability service finds libtrellis beside libvexa64 in the prefix.
    const vexatest::ProgramRun ds =
        vexatest::runProgram({prefix.path() + "/bin/vexads"}, {home}, work.path());
    EXPECT_EQ(ds.status, 0) << ds.output;

#ifdef VEXA_HAVE_TESSGEN
    // tessgen finds its schema in the prefix and compiles the example model.
    const vexatest::ProgramRun tessgen = vexatest::runProgram(
        {prefix.path() + "/bin/tessgen", VEXA_SOURCE_DIR "/examples/model/Sensors.xml", "out"},
        {home}, work.path());
    EXPECT_EQ(tessgen.status, 0) << tessgen.output;
    std::string log;
    {
        FILE* f = std::fopen((work.path() + "/DDS_parser.log").c_str(), "r");
        ASSERT_NE(f, nullptr);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            log.append(buffer, n);
        }
        std::fclose(f);
    }
    EXPECT_NE(log.find("Компилирование закончено"), std::string::npos) << log;
    EXPECT_TRUE(fs::is_regular_file(fs::path(work.path()) / "out/Sensors_DDS/include/Sensors.h"));
#endif
}
