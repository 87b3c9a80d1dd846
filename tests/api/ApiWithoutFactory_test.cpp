// The core's service is built while the library loads, so a process whose service has no
// factory is a new one: the test starts this binary again with a home that lacks the core's
// texts and runs itself there.
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ApiFixture.h"
#include "dcps/service/DCPSservice.h"
#include "dds/domain/DomainParticipant.hpp"
#include "vexa/core/Exception.hpp"

extern char** environ;

namespace {

char const CHILD_MARK[] = "VEXA_API_TEST_NO_FACTORY";

// Runs the named test in a new process of this binary, with VEXA_HOME an empty directory;
// true when it passed there and reached its end (a filter that matches nothing passes too).
bool passesWithoutTexts(std::string const& test) {
    char dir[] = "nofactory_XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        return false;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return false;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("VEXA_HOME=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back(std::string("VEXA_HOME=") + cwd + "/" + dir);
    env.push_back(std::string(CHILD_MARK) + "=1");
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(&e[0]);
    }
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=" + test;
    char self[] = "/proc/self/exe";
    char* argv[] = {self, &filter[0], nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, envp.data()) != 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    struct stat reached;
    return stat((std::string(dir) + "/reached").c_str(), &reached) == 0;
}

// Without its texts the service has no factory: start-up hands nothing to it, and every API
// entry that needs the factory refuses.
TEST(ApiWithoutFactory, everyEntryNeedingTheFactoryThrowsPreconditionNotMet) {
    if (getenv(CHILD_MARK) == nullptr) {
        EXPECT_TRUE(passesWithoutTexts(
            "ApiWithoutFactory.everyEntryNeedingTheFactoryThrowsPreconditionNotMet"));
        return;
    }
    vexa::dcps::DCPSservice& service = vexa::dcps::DCPSservice::getInstance();
    ASSERT_FALSE(service.isReady() && service.getFactory() != nullptr);
    // The static default stays the library's own.
    auto const q = dds::domain::DomainParticipant::default_participant_qos();
    EXPECT_TRUE(q->entity_factory().autoenable_created_entities());
    EXPECT_TRUE(q->user_data().value().empty());
    struct Case {
        char const* text;
        std::function<void()> op;
    } const cases[] = {
        {"Unable to resolve the DomainParticipant Factory at DomainParticipantDelegate:62",
         [] { dds::domain::DomainParticipant dp(apitest::DOMAIN); }},
        {"Unable to resolve the DomainParticipant Factory at DomainParticipantDelegate:62",
         [&] { dds::domain::DomainParticipant dp(apitest::DOMAIN, q); }},
        {"Unable to resolve the DomainParticipant Factory at DomainParticipantDelegate:211",
         [&] { dds::domain::DomainParticipant::default_participant_qos(q); }},
        {"Unable to resolve the DomainParticipant Factory at DPfind:28",
         [] { dds::domain::find(apitest::DOMAIN); }},
    };
    for (Case const& c : cases) {
        apitest::expectThrowText<dds::core::PreconditionNotMetError>(c.op, c.text);
    }
    std::ofstream(std::string(getenv("VEXA_HOME")) + "/reached");
}

}  // namespace
