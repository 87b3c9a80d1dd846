#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "ds/service/DomainEngine.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/Writer.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexatest {

// What the service did to the engine, shared by every fake participant a test makes.
struct EngineLog {
    std::mutex mutex;
    std::vector<unsigned> created;    // domain ids
    std::vector<unsigned> started;    // domain ids
    std::vector<unsigned> destroyed;  // domain ids
    struct Announcement {
        unsigned domainId;
        uint32_t statusFlags;
        int32_t instanceHandle;
        uint64_t length;
        vexa::dds::BuiltinTopicKey_t key;
    };
    std::vector<Announcement> announced;
    std::atomic<bool> refuseCreate{false};
    std::atomic<bool> throwInStart{false};
};

class FakeParticipantWriter : public RTPS::Writer {
public:
    FakeParticipantWriter(EngineLog& log, unsigned domainId) : m_log(log), m_domainId(domainId) {}
    int64_t addChange(RTPS::SampleInfo* sample) override {
        const auto* data = static_cast<vexa::dds::ParticipantBuiltinTopicData*>(sample->data);
        std::lock_guard<std::mutex> guard(m_log.mutex);
        m_log.announced.push_back(
            {m_domainId, sample->statusFlags, sample->instanceHandle, sample->length, data->key});
        return 0;
    }
    bool deleteChange(long) override { return false; }
    void assertLiveliness() override {}
    void setQoS(vexa::dds::PublicationBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void close() override {}

private:
    EngineLog& m_log;
    unsigned m_domainId;
};

class FakeDomainParticipant : public RTPS::Participant {
public:
    FakeDomainParticipant(EngineLog& log, unsigned domainId)
        : m_log(log), m_domainId(domainId), m_writer(log, domainId) {}
    ~FakeDomainParticipant() override {
        std::lock_guard<std::mutex> guard(m_log.mutex);
        m_log.destroyed.push_back(m_domainId);
    }
    void start() override {
        if (m_log.throwInStart.load())
            throw RTPS::GENERAL_DDSI_ERROR("start refused");
        std::lock_guard<std::mutex> guard(m_log.mutex);
        m_log.started.push_back(m_domainId);
    }
    RTPS::Writer* getDCPSParticipantWriter() override { return &m_writer; }
    void dataRecipient(void*, unsigned short) override {}
    unsigned int getDomainID() override { return m_domainId; }

private:
    EngineLog& m_log;
    unsigned m_domainId;
    FakeParticipantWriter m_writer;
};

// An engine whose participants report into `log`; the tick clock is the real monotonic one
// unless a test drives its own.
inline vexa::ds::DomainEngine fakeEngine(EngineLog& log, std::function<uint64_t()> tick) {
    vexa::ds::DomainEngine engine;
    engine.createParticipant = [&log](RTPS::CommunicationObject*,
                                      vexa::dds::ParticipantBuiltinTopicData*,
                                      unsigned domainId) -> RTPS::Participant* {
        if (log.refuseCreate.load())
            throw RTPS::BAD_PARAMETERS("participant refused");
        {
            std::lock_guard<std::mutex> guard(log.mutex);
            log.created.push_back(domainId);
        }
        return new FakeDomainParticipant(log, domainId);
    };
    engine.tickClock = std::move(tick);
    return engine;
}

}  // namespace vexatest
