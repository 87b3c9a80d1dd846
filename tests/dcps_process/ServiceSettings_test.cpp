// The service reads its texts and settings once per process: every case runs in a child
// forked from a binary that has not touched the core.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "FreshProcess.h"
#include "common/ChildProcess.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"

using vexa::dcps::DCPSservice;
using vexatest::CHILD_PASS;
using vexatest::runInChild;

namespace {

struct Settings {
    int32_t perWriter;
    int32_t perReader;
    int32_t preallocated;
    int32_t period;
};

}  // namespace

TEST(ServiceSettings, FromTheFileOrTheirDefaults) {
    struct Case {
        char const* name;
        char const* config;  // null: no dcps.cfg
        Settings expected;
    } const cases[] = {
        {"no dcps.cfg", nullptr, {1024, 1024, 10, 120}},
        {"values in range",
         "DCPS.MAX_SAMPLES_PER_DW_LIMIT = 500\n"
         "DCPS.MAX_SAMPLES_PER_DR_LIMIT = 600\n"
         "DCPS.NUMBER_OF_PREALLOCATED_SAMPLES_PER_READER = 0\n"
         "DCPS.COLLECT_GARBAGE_PERIOD = 3600\n",
         {500, 600, 0, 3600}},
        {"values out of range",
         "DCPS.MAX_SAMPLES_PER_DW_LIMIT = 0\n"
         "DCPS.MAX_SAMPLES_PER_DR_LIMIT = 10001\n"
         "DCPS.NUMBER_OF_PREALLOCATED_SAMPLES_PER_READER = 1001\n"
         "DCPS.COLLECT_GARBAGE_PERIOD = 3601\n",
         {1024, 1024, 10, 300}},
        {"a file without them", "# nothing\n", {1024, 1024, 10, 300}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        int const rc = runInChild([&c] {
            CHILD_CHECK(vexatest::freshProcessHome(c.config, true));
            DCPSservice& service = DCPSservice::getInstance();
            CHILD_CHECK(service.isReady());
            CHILD_CHECK(service.getFactory() != nullptr);
            CHILD_CHECK(service.getMaxSamplesPerWriter() == c.expected.perWriter);
            CHILD_CHECK(service.getMaxSamplesPerReader() == c.expected.perReader);
            CHILD_CHECK(service.getPreallocatedSamplesPerReader() == c.expected.preallocated);
            CHILD_CHECK(service.getCollectGarbagePeriod() == c.expected.period);
            CHILD_CHECK(service.getThreadPriorityOffset() == 1);
            CHILD_CHECK(service.getHome().find("/home") != std::string::npos);
            return CHILD_PASS;
        });
        EXPECT_EQ(rc, CHILD_PASS);
    }
}

// Without its texts, or with a settings file it cannot read, the service hands out no
// factory; a missing text file says so on standard output.
TEST(ServiceSettings, NoFactoryWithoutTextsOrReadableSettings) {
    struct Case {
        char const* name;
        bool texts;
        bool configIsDirectory;
        char const* printed;
    } const cases[] = {
        {"no message texts", false, false,
         "Error: Resource file \"dcps_strings_ru.res\" not found\n"},
        {"dcps.cfg is a directory", true, true, ""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        int const rc = runInChild([&c] {
            CHILD_CHECK(vexatest::freshProcessHome(nullptr, c.texts));
            if (c.configIsDirectory) {
                CHILD_CHECK(mkdir("dcps.cfg", 0700) == 0);
            }
            CHILD_CHECK(std::freopen("stdout.txt", "w", stdout) != nullptr);
            DCPSservice& service = DCPSservice::getInstance();
            std::fflush(stdout);
            CHILD_CHECK(!service.isReady());
            CHILD_CHECK(service.getFactory() == nullptr);
            std::ifstream in("stdout.txt");
            std::stringstream printed;
            printed << in.rdbuf();
            if (printed.str() != c.printed) {
                std::fprintf(stderr, "printed \"%s\"\n", printed.str().c_str());
                return 3;
            }
            return CHILD_PASS;
        });
        EXPECT_EQ(rc, CHILD_PASS);
    }
}

// A period of 0 switches the collector off: a deleted participant is never destroyed.
TEST(ServiceSettings, PeriodZeroRunsNoCollector) {
    int const rc = runInChild([] {
        CHILD_CHECK(vexatest::freshProcessHome("DCPS.COLLECT_GARBAGE_PERIOD = 0\n", true));
        vexa::dcps::DPFactory* factory = DCPSservice::getInstance().getFactory();
        CHILD_CHECK(factory != nullptr);
        vexa::dcps::DomainParticipant* dp = factory->createParticipant(3, nullptr);
        CHILD_CHECK(dp != nullptr);
        CHILD_CHECK(!factory->collectorRunning());
        factory->delete_participant(dp);
        CHILD_CHECK(dp->isMarked());
        return CHILD_PASS;
    });
    EXPECT_EQ(rc, CHILD_PASS);
}
