// A process that ends with live participants while the engine still calls back: the
// factory's destruction at exit closes each participant (its engine participant, whose
// threads call into it, goes first) before destroying it. Under AddressSanitizer a call into
// a destroyed participant fails the child.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "FreshProcess.h"
#include "common/ChildProcess.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "fake/FakeEngine.h"

using vexatest::CHILD_PASS;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;

namespace {

// After the service's destruction (registered before the service exists): every engine
// participant was destroyed.
void checkEnginesGone() {
    if (FakeEngine::instance().destroyed() != FakeEngine::instance().created()) {
        std::fprintf(stderr, "%u engine participants left at exit\n",
                     FakeEngine::instance().created() - FakeEngine::instance().destroyed());
        std::fflush(stderr);
        _exit(4);
    }
}

}  // namespace

TEST(ProcessExit, LiveParticipantsAreClosedAtExitWhileTheEngineCallsBack) {
    int const rc = vexatest::runInChild([] {
        CHILD_CHECK(vexatest::freshProcessHome("DCPS.COLLECT_GARBAGE_PERIOD = 1\n", true));
        CHILD_CHECK(std::atexit(checkEnginesGone) == 0);
        vexa::dcps::DPFactory* factory = vexa::dcps::DCPSservice::getInstance().getFactory();
        CHILD_CHECK(factory != nullptr);
        for (unsigned domain = 0; domain < 2; ++domain) {
            for (int i = 0; i < 2; ++i) {
                CHILD_CHECK(factory->createParticipant(domain, nullptr) != nullptr);
                FakeParticipant* engine = FakeEngine::instance().newest();
                unsigned const prefix[3] = {1, 2, 3};
                engine->callBackContinuously(
                    engine->builtinReader(FakeParticipant::PUBLICATION_READER), prefix);
            }
        }
        std::fflush(nullptr);
        std::exit(CHILD_PASS);
    });
    EXPECT_EQ(rc, CHILD_PASS);
}
