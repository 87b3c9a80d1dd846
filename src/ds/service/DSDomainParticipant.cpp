#include "ds/service/DSDomainParticipant.h"

#include <algorithm>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/DsMessages.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/Writer.h"

namespace vexa::ds {

namespace {

constexpr uint64_t TICK_US = 100000;
constexpr int64_t MAX_WAIT_MS = 101;
constexpr uint32_t DATA_THREAD_STACK = 0x100000;
constexpr size_t ERROR_TEXT_SIZE = 2048;
constexpr uint32_t DEPARTURE_FLAGS = 6;  // disposed and unregistered

static_assert(sizeof(vexa::dds::ParticipantBuiltinTopicData) == 40,
              "peers read the departure announcement with this length");

}  // namespace

DSDomainParticipant::DSDomainParticipant(const DurabilityService& service, unsigned domainId,
                                         const DomainEngine& engine)
    : m_service(service),
      m_domainId(domainId),
      m_engine(engine),
      m_comm(std::make_unique<DSRTPSCommunicationObject>(*this)) {}

DSDomainParticipant::~DSDomainParticipant() {
    m_comm->stopHandlingInput();
    stopHandlingData();
    deleteEngine();
}

void DSDomainParticipant::setRTPS(RTPS::Participant* participant) {
    m_rtps = participant;
    m_participantWriter = participant ? participant->getDCPSParticipantWriter() : nullptr;
}

void DSDomainParticipant::waitUntilBuilt() {
    if (m_built.load())
        return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
}

bool DSDomainParticipant::startHandlingData() {
    if (m_dataThread != 0)
        return true;
    // Set before the start, so that a stop coming first still finds the thread to join.
    m_running.store(true);
    char error[ERROR_TEXT_SIZE] = {};
    m_dataThread =
        OsStartNewThread(&DataHandlingThread, this, 0, DATA_THREAD_STACK, error, sizeof(error) - 1);
    if (m_dataThread == 0) {
        m_running.store(false);
        vexalog::Logger::getLogger().logMessage("DS::DSDomainParticipant::startHandlingData", 2,
                                                vexares::DS_MSG_THREAD_NOT_STARTED, error);
        return false;
    }
    return true;
}

void DSDomainParticipant::stopHandlingData() {
    m_running.store(false);
    if (m_dataThread == 0)
        return;
    m_comm->wake(true);
    OsWaitThreadTermination(m_dataThread);
    m_dataThread = 0;
}

void DSDomainParticipant::DataHandlingThread(void* self) {
    static_cast<DSDomainParticipant*>(self)->dataLoop();
}

void DSDomainParticipant::dataLoop() {
    m_clock.setInitial();
    uint64_t tick = m_engine.tickClock();
    while (m_running.load()) {
        OsYieldCPU();
        const uint64_t now = m_engine.tickClock();
        if (now > tick + TICK_US - 1) {
            // One step per round: a late thread catches up over the following rounds.
            m_clock.advance(TICK_US);
            tick += TICK_US;
            periodicStatusCheck();
        }
        const int64_t wait = std::clamp<int64_t>(
            (int64_t(tick) - int64_t(now) + int64_t(TICK_US) + 500) / 1000, 0, MAX_WAIT_MS);
        if (wait > 0 && m_comm->pending() < 1)
            m_comm->waitForWork(wait);
        if (!m_running.load())
            break;
        handleSubscriptions();
    }
}

// The stored-reader set's status check and sample intake plug in here.
void DSDomainParticipant::periodicStatusCheck() {}

void DSDomainParticipant::handleSubscriptions() {}

void DSDomainParticipant::collectGarbage() {}

void DSDomainParticipant::close() {
    m_comm->stopHandlingInput();
    stopHandlingData();
    RTPS::Participant* engine = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        if (m_participantWriter) {
            RTPS::SampleInfo departure{};
            departure.instanceHandle = INSTANCE_HANDLE;
            departure.statusFlags = DEPARTURE_FLAGS;
            departure.sourceTimestamp = m_clock.now();
            departure.data = &m_participantData;
            departure.length = sizeof(m_participantData);
            try {
                m_participantWriter->addChange(&departure);
            } catch (const RTPS::DDSIException&) {
                // The engine is going away with the domain; nobody is left to tell.
            }
        }
        OsYieldCPU();
        engine = m_rtps;
        m_rtps = nullptr;
        m_participantWriter = nullptr;
    }
    delete engine;
}

void DSDomainParticipant::deleteEngine() {
    RTPS::Participant* engine = m_rtps;
    m_rtps = nullptr;
    m_participantWriter = nullptr;
    delete engine;
}

}  // namespace vexa::ds
