#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/DsMessages.h"
#include "common/res/ResourceManager.h"
#include "ds/service/Console.h"
#include "ds/service/ConsoleInput.h"
#include "ds/service/DurabilityService.h"
#include "rtps/participant/CreateParticipant.h"

namespace {

using vexalog::Logger;
using vexares::ResourceManager;

// The only exit status besides 0; the fixed texts name the file that was looked for.
constexpr int FAILED = 255;

bool loadTexts() {
    const unsigned result = ResourceManager::getInstance().initialise("ds_strings_ru.res");
    if (result == ResourceManager::RES_OK || result == ResourceManager::RES_ALREADY_LOADED) {
        // The engine's own texts; without them its records are logged by number only.
        ResourceManager::getInstance().initialise("rtps_strings_ru.res");
        return true;
    }
    if (result == ResourceManager::RES_NOT_FOUND)
        std::printf("Error: Resource file \"ds_strings_ru.res\" not found\n");
    else
        std::printf("Error reading resource file: \"ds_strings_ru.res\" \n");
    std::fflush(stdout);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Taken by the console loop as events; blocked before any thread starts, so every thread
    // inherits the mask and none is interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    if (!loadTexts())
        return FAILED;

    vexa::ds::DomainEngine engine;
    engine.createParticipant = [](RTPS::CommunicationObject* comm,
                                  vexa::dds::ParticipantBuiltinTopicData* data, unsigned domainId) {
        return RTPS::createParticipant(nullptr, comm, RTPS::COMMUNICATION_MODE_EVERY_CHANGE, data,
                                       domainId, true);
    };
    engine.tickClock = [] { return vexa::OsGetMonotonicMks(); };

    vexa::ds::pds = vexa::ds::DurabilityService::start(engine);
    if (!vexa::ds::pds->isStarted()) {
        Logger::printf(vexares::DS_MSG_NOT_STARTED);
        delete vexa::ds::pds;
        vexa::ds::pds = nullptr;
        return FAILED;
    }
    Logger::printf(vexares::DS_MSG_VERSION, 1, 0, 1928);
    for (int i = 1; i < argc; ++i)
        vexa::ds::handleAddDomainUC(argv[i]);
    Logger::printf(vexares::DS_MSG_STARTED);
    if (vexa::ds::pds->countDomains() == 0)
        Logger::printf(vexares::DS_MSG_NO_DOMAINS);
    Logger::printf(vexares::DS_MSG_PROMPT_HELP);
    Logger::printf(vexares::DS_MSG_PROMPT_EXIT);

    // "exit", the end of input, a read error and SIGINT/SIGTERM all leave here; all but "exit"
    // say so first. The stop that follows is the same for every one of them.
    vexa::ds::ConsoleInput console(STDIN_FILENO, signalFd);
    std::string line;
    for (;;) {
        if (console.next(line) != vexa::ds::ConsoleInput::Event::Line) {
            Logger::printf(vexares::DS_MSG_CONSOLE_ENDED);
            break;
        }
        if (vexa::ds::handleUserCommand(line.c_str()))
            break;
    }

    Logger::printf(vexares::DS_MSG_STOPPING);
    delete vexa::ds::pds;
    vexa::ds::pds = nullptr;
    Logger::printf(vexares::DS_MSG_STOPPED);
    if (signalFd >= 0)
        ::close(signalFd);
    return 0;
}
