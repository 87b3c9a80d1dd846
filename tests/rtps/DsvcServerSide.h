#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "DsvcPeers.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/Participant.h"
#include "vexa/dds/BuiltinTopicData.h"

// The server side's neighbours for tests: the durability service and the participant, as the
// DSVC server role sees them.

namespace dsvc_test {

// The durability service as the server role sees it: what it was asked, and optionally an
// answer given at once on the asking thread.
class RecordingService : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo*) override { return false; }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int*) override {}
    void getHistoricalData(unsigned int const* prefix, unsigned int entityId,
                           vexa::dds::SubscriptionBuiltinTopicData const* data) override {
        // Answer before recording: a test that waits for the question then finds the answer
        // already handed over.
        if (answer) {
            answer(prefix, entityId);
        }
        // The body records whether a subscription came with the question.
        asked.add(-1, entityId, data != nullptr ? "s" : nullptr, data != nullptr ? 1 : 0);
    }
    void stopHistoricalData(unsigned int const*, unsigned int entityId) override {
        stopped.add(-1, entityId, nullptr, 0);
    }
    UpcallLog asked;    // tag: entity id
    UpcallLog stopped;  // tag: entity id
    std::function<void(unsigned int const*, unsigned int)> answer;
};

// The participant as the server role sees it: the readers discovery knows, and the path of
// connection messages into the link, as the engine's participant takes it.
class RoleParticipant : public RTPS::Participant {
public:
    void dataRecipient(void*, unsigned short) override {}
    unsigned int getDomainID() override { return 0; }
    void dsvcDataRecipient(int socket, unsigned long tag, void* body) override {
        link->dataRecipient(socket, tag, body);
    }
    bool getReaderConfig(RTPS::GUID_t const& reader,
                         vexa::dds::SubscriptionBuiltinTopicData& out) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (RTPS::GUID_t const& g : known) {
            if (RTPS::almost_eq(g, reader)) {
                out = vexa::dds::SubscriptionBuiltinTopicData{};
                return true;
            }
        }
        return false;
    }
    void discover(RTPS::GUID_t const& g) {
        std::lock_guard<std::mutex> lock(m_mutex);
        known.push_back(g);
    }
    RTPS::DsvcLink* link = nullptr;

private:
    std::mutex m_mutex;
    std::vector<RTPS::GUID_t> known;
};

}  // namespace dsvc_test
