#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "fake/EngineScript.h"
#include "fake/FakeParticipant.h"

namespace vexatest {

// The fake engine's RTPS::createParticipant and what it remembers over the process. Tests
// script the next creations through it and find the participants it made. It is never
// destroyed: participants still alive at process exit are closed by the core's factory after
// every ordinary static object is gone.
class FakeEngine {
public:
    static FakeEngine& instance();

    // The next createParticipant (after its argument checks) fails as given.
    void failNextCreate(Failure how);
    // The next participant created throws from start.
    void failNextStart(Failure how);
    // Built-in endpoints (bits of FakeParticipant::BuiltinIndex) absent in the next
    // participants.
    void setNullEndpoints(unsigned mask);
    // Writers of later participants only count their changes.
    void setCheapWriters(bool cheap);
    // Runs once with the next participant the engine makes, on the creating thread before
    // createParticipant returns it to the core (which still holds the participant's mutex).
    void onNextCreate(std::function<void(FakeParticipant*)> hook);

    // Participants created and not yet destroyed, oldest first.
    std::vector<FakeParticipant*> live() const;
    FakeParticipant* newest() const;
    unsigned created() const;
    unsigned destroyed() const;

    // Called by createParticipant and by the participants' destructors.
    FakeParticipant* create(RTPS::CommunicationObject* comm, RTPS::COMMUNICATION_MODE mode,
                            vexa::dds::ParticipantBuiltinTopicData const& data, unsigned domainId,
                            bool dsvcServer);
    void forget(FakeParticipant* participant);
    // A destroyed participant's endpoints stay readable for the rest of the process, so tests
    // can see what the core announced while closing.
    void keep(std::unique_ptr<FakeWriter> writer);
    void keep(std::unique_ptr<FakeReader> reader);

private:
    FakeEngine() = default;

    mutable std::mutex mutex_;
    Failure createFailure_ = Failure::None;
    Failure startFailure_ = Failure::None;
    unsigned nullEndpoints_ = 0;
    bool cheapWriters_ = false;
    std::function<void(FakeParticipant*)> createHook_;
    unsigned created_ = 0;
    unsigned destroyed_ = 0;
    std::vector<FakeParticipant*> live_;
    std::vector<std::unique_ptr<FakeWriter>> keptWriters_;
    std::vector<std::unique_ptr<FakeReader>> keptReaders_;
};

}  // namespace vexatest
