#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "dcps/topic/TopicDescription.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/Status.h"

namespace vexa::dcps {

class Reader;
class TopicEventForwarder;
class Writer;

// A local topic: QoS, listener, the local writers and readers that use it, the
// inconsistent-topic status and the record the participant announces on DCPSTopic. No
// operation locks: the callers hold the participant mutex.
class Topic : public TopicDescription {
public:
    // `qos` null: the participant's default topic QoS. The announced record gets a new key
    // whose first byte tells whether the type is keyed (0x8A) or not (0x0A).
    Topic(DomainParticipant* participant, TypeSupportCB* typeSupport, std::string name, int32_t id,
          vexa::dds::TopicQos const* qos);

    // Clears the listener mask: no later callback reaches the listener.
    void closedByApi() override { listenerMask_ = 0; }
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    vexa::dds::ReturnCode_t setListener(TopicEventForwarder* listener, uint32_t mask);
    TopicEventForwarder* getListener() const { return listener_; }
    uint32_t getListenerMask() const { return listenerMask_; }
    vexa::dds::ReturnCode_t getQoS(vexa::dds::TopicQos& out) const;
    // Replaces the QoS; of the announced record only deadline, latency budget, transport
    // priority, lifespan and topic data follow.
    vexa::dds::ReturnCode_t setQoS(vexa::dds::TopicQos const& qos);
    // NOT_ENABLED, or OK with the status copied, its change count cleared and status bit 0x1
    // reset.
    vexa::dds::ReturnCode_t getInconsistentTopicStatus(vexa::dds::InconsistentTopicStatus& out);
    // Adds n inconsistent remote topics to the status and raises bit 0x1.
    void addInconsistentTopics(int32_t n);

    // Adds the endpoint (once) and returns the topic's type support.
    TypeSupportCB* addTopicWriter(Writer* writer);
    TypeSupportCB* addTopicReader(Reader* reader);
    // True when the endpoint was in the set.
    bool removeTopicWriter(Writer* writer);
    bool removeTopicReader(Reader* reader);
    bool inUse() const { return !writers_.empty() || !readers_.empty(); }
    std::set<Writer*> const& getWriters() const { return writers_; }
    std::set<Reader*> const& getReaders() const { return readers_; }

    // Whether a remote announcement agrees on name, type, durability kind, deadline, latency
    // budget, liveliness, reliability, destination order and ownership.
    bool isConsistent(vexa::dds::TopicBuiltinTopicData const& remote) const;
    // isConsistent; an inconsistent one is counted.
    bool checkConsistency(vexa::dds::TopicBuiltinTopicData const& remote);

    vexa::dds::TopicBuiltinTopicData const& getAnnouncedData() const { return data_; }

private:
    vexa::dds::TopicQos qos_;
    TopicEventForwarder* listener_ = nullptr;
    uint32_t listenerMask_ = 0x7FFF;
    vexa::dds::InconsistentTopicStatus status_{};
    std::set<Writer*> writers_;
    std::set<Reader*> readers_;
    vexa::dds::TopicBuiltinTopicData data_;
};

}  // namespace vexa::dcps
