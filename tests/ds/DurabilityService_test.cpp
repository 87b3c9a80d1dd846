#include "ds/service/DurabilityService.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/DsMessages.h"
#include "common/res/ResourceManager.h"
#include "common/ChildProcess.h"
#include "ds/FakeDomainEngine.h"
#include "ds/service/Console.h"

namespace {

using vexa::ds::DurabilityService;
using vexalog::Logger;

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res") % 6, 0u);
        service = new DurabilityService(
            vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); }));
        ASSERT_TRUE(service->isStarted());
        vexa::ds::pds = service;
    }
    void TearDown() override {
        delete service;
        vexa::ds::pds = nullptr;
    }

    // What one console line prints, and whether it ends the console.
    std::string run(const std::string& line, bool* exits = nullptr) {
        testing::internal::CaptureStdout();
        const bool result = vexa::ds::handleUserCommand(line.c_str());
        if (exits)
            *exits = result;
        return testing::internal::GetCapturedStdout();
    }

    vexatest::EngineLog log;
    DurabilityService* service = nullptr;
};

std::string text(unsigned id, const char* arg = nullptr) {
    return arg ? Logger::sprintf_(id, arg) : Logger::sprintf_(id);
}

TEST_F(ServiceTest, ConsoleLines) {
    const std::string added = text(vexares::DS_MSG_IN_PROGRESS);
    struct Case {
        const char* line;
        std::string output;
        bool exits;
    };
    const Case cases[] = {
        {"", "", false},
        {"    ", "", false},
        {"exit", "", true},
        {"  exit", "", true},
        {"EXIT", text(vexares::DS_MSG_UNKNOWN_COMMAND, "EXIT"), false},
        {"frob 3", text(vexares::DS_MSG_UNKNOWN_COMMAND, "frob"), false},
        // Words are cut to 15 characters; the rest is not a command of its own.
        {"abcdefghijklmnopqrstuvwxyz", text(vexares::DS_MSG_UNKNOWN_COMMAND, "abcdefghijklmno"),
         false},
        {"exitexitexitexitexit", text(vexares::DS_MSG_UNKNOWN_COMMAND, "exitexitexitexi"), false},
        {"add", text(vexares::DS_MSG_NO_ARGUMENT, "add"), false},
        {"close   ", text(vexares::DS_MSG_NO_ARGUMENT, "close"), false},
        {"help", text(vexares::DS_MSG_HELP), false},
        {"list", text(vexares::DS_MSG_NO_DOMAINS), false},
        {"add 0", added + text(vexares::DS_MSG_DOMAIN_ADDED, "0"), false},
        {"add 7x trailing", added + text(vexares::DS_MSG_DOMAIN_ADDED, "7x"), false},
        {"add 00", text(vexares::DS_MSG_DOMAIN_REFUSED, "00"), false},
        {"add -0", text(vexares::DS_MSG_DOMAIN_REFUSED, "-0"), false},
        {"add abc", text(vexares::DS_MSG_DOMAIN_REFUSED, "abc"), false},
        {"add 230", text(vexares::DS_MSG_DOMAIN_REFUSED, "230"), false},
        {"add -1", text(vexares::DS_MSG_DOMAIN_REFUSED, "-1"), false},
        // Once cut to 32 bits this was domain 5.
        {"add 4294967301", text(vexares::DS_MSG_DOMAIN_REFUSED, "4294967301"), false},
        {"add 99999999999999999999", text(vexares::DS_MSG_DOMAIN_REFUSED, "999999999999999"),
         false},
        {"close 9", added + text(vexares::DS_MSG_DOMAIN_REFUSED, "9"), false},
        {"close 7", added + text(vexares::DS_MSG_DOMAIN_CLOSED, "7"), false},
        {"list", text(vexares::DS_MSG_DOMAIN_LIST) + "\n0\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        bool exits = false;
        EXPECT_EQ(run(c.line, &exits), c.output);
        EXPECT_EQ(exits, c.exits);
    }
    EXPECT_EQ(log.created, (std::vector<unsigned>{0, 7}));
}

TEST_F(ServiceTest, ListFollowsSlotsAndAClosedSlotIsReused) {
    for (unsigned id : {3u, 1u})
        ASSERT_TRUE(service->addDomain(id));
    ASSERT_TRUE(service->closeDomain(3));
    // Domain 1 stays in its slot: adding it again must not take the free slot before it.
    ASSERT_TRUE(service->addDomain(1));
    ASSERT_TRUE(service->addDomain(2));
    std::vector<unsigned> ids;
    service->listDomains(ids);
    EXPECT_EQ(ids, (std::vector<unsigned>{2, 1}));
    EXPECT_EQ(service->countDomains(), 2u);
    EXPECT_EQ(log.created, (std::vector<unsigned>{3, 1, 2}));
}

TEST_F(ServiceTest, AnEleventhDomainIsRefused) {
    for (unsigned id = 0; id < DurabilityService::MAX_DOMAINS; ++id)
        ASSERT_TRUE(service->addDomain(id * 20));
    EXPECT_FALSE(service->addDomain(201));
    EXPECT_TRUE(service->addDomain(20));  // already served: no change
    EXPECT_EQ(service->countDomains(), DurabilityService::MAX_DOMAINS);
    EXPECT_EQ(log.created.size(), DurabilityService::MAX_DOMAINS);
}

TEST_F(ServiceTest, EngineFailuresLeaveTheSlotFree) {
    log.refuseCreate = true;
    EXPECT_FALSE(service->addDomain(4));
    log.refuseCreate = false;
    log.throwInStart = true;
    EXPECT_FALSE(service->addDomain(5));
    log.throwInStart = false;
    std::vector<unsigned> ids;
    service->listDomains(ids);
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(service->countDomains(), 0u);
    EXPECT_EQ(log.destroyed, std::vector<unsigned>{5});
    EXPECT_TRUE(service->addDomain(5));
    EXPECT_EQ(log.started, std::vector<unsigned>{5});
}

TEST_F(ServiceTest, CloseAnnouncesTheDepartureAndDestructionDoesNot) {
    ASSERT_TRUE(service->addDomain(6));
    ASSERT_TRUE(service->addDomain(8));
    ASSERT_TRUE(service->closeDomain(6));
    ASSERT_EQ(log.announced.size(), 1u);
    const auto& a = log.announced[0];
    EXPECT_EQ(a.domainId, 6u);
    EXPECT_EQ(a.statusFlags, 6u);
    EXPECT_EQ(a.instanceHandle, 65535);
    EXPECT_EQ(a.length, 40u);
    EXPECT_EQ(a.key.value[0] & 0xFFFF, 0xAAAAu);
    delete service;
    service = nullptr;
    vexa::ds::pds = nullptr;
    EXPECT_EQ(log.announced.size(), 1u);
    EXPECT_EQ(log.destroyed, (std::vector<unsigned>{6, 8}));
}

TEST_F(ServiceTest, CollectorRunsWhileDomainsAreServed) {
    if (service->getCollectGarbagePeriod() == 0)
        GTEST_SKIP() << "collector disabled in ds.cfg";
    EXPECT_FALSE(service->isGarbageCollectorRunning());
    ASSERT_TRUE(service->addDomain(1));
    EXPECT_TRUE(service->isGarbageCollectorRunning());
    ASSERT_TRUE(service->closeDomain(1));
    EXPECT_FALSE(service->isGarbageCollectorRunning());
    ASSERT_TRUE(service->addDomain(2));
    EXPECT_TRUE(service->isGarbageCollectorRunning());
}

TEST_F(ServiceTest, StopRightAfterStartJoinsBothThreads) {
    // The run flags are set before the threads start: a stop that comes first still stops
    // and joins them, so nothing outlives the domain. ASan and TSan see any that does.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(service->addDomain(9));
        ASSERT_TRUE(service->closeDomain(9));
        EXPECT_FALSE(service->isGarbageCollectorRunning());
    }
}

TEST_F(ServiceTest, ClosingTheLastDomainWakesTheWaitingCollector) {
    if (service->getCollectGarbagePeriod() == 0)
        GTEST_SKIP() << "collector disabled in ds.cfg";
    ASSERT_TRUE(service->addDomain(3));
    // Long enough for the collector to be inside its wait between passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(service->closeDomain(3));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(service->isGarbageCollectorRunning());
    // A collector that sleeps in whole seconds would hold the close for most of one.
    EXPECT_LT(took, std::chrono::milliseconds(500));
}

// A ds.cfg in the working directory is read before the one under VEXA_HOME.
class WorkingDirectoryConfig {
public:
    explicit WorkingDirectoryConfig(const std::string& body) { std::ofstream("ds.cfg") << body; }
    ~WorkingDirectoryConfig() { std::remove("ds.cfg"); }
};

TEST(ServiceSettings, ValuesFromDsCfgAndPeriodZeroStartsNoCollector) {
    WorkingDirectoryConfig config(
        "DS.MAX_SAMPLES_PER_DR_LIMIT = 77\nDS.COLLECT_GARBAGE_PERIOD = 0\n");
    vexatest::EngineLog log;
    DurabilityService service(vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); }));
    ASSERT_TRUE(service.isStarted());
    EXPECT_EQ(service.getMaxSamplesPerReader(), 77);
    EXPECT_EQ(service.getCollectGarbagePeriod(), 0);
    ASSERT_TRUE(service.addDomain(1));
    EXPECT_FALSE(service.isGarbageCollectorRunning());
}

// VEXA_HOME is read once per process: ctest runs this test in a process of its own.
TEST(ServiceSettings, NoDsCfgGivesBuiltInDefaults) {
    const int rc = vexatest::runInChild([] {
        char dir[] = "/tmp/vexads_nocfg_XXXXXX";
        CHILD_CHECK(mkdtemp(dir) != nullptr);
        CHILD_CHECK(chdir(dir) == 0);
        setenv("VEXA_HOME", dir, 1);
        vexatest::EngineLog log;
        DurabilityService service(
            vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); }));
        CHILD_CHECK(service.isStarted());
        CHILD_CHECK(service.getMaxSamplesPerReader() == 1024);
        CHILD_CHECK(service.getCollectGarbagePeriod() == 120);
        rmdir(dir);
        return vexatest::CHILD_PASS;
    });
    EXPECT_EQ(rc, vexatest::CHILD_PASS);
}

}  // namespace
