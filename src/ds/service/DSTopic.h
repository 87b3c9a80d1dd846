#pragma once

#include <cstdint>
#include <string>

#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace vexa::ds {

class DSDomainParticipant;
class DSReader;

// A TRANSIENT or PERSISTENT topic seen in a served domain, with the stored reader that keeps
// its samples once the data thread has made one.
class DSTopic {
public:
    // Byte 0 of a topic key: with and without a key.
    static constexpr uint8_t KEYED = 0x8A;
    static constexpr uint8_t KEYLESS = 0x0A;

    DSTopic(DSDomainParticipant* participant, const std::string& typeName, const std::string& name,
            uint32_t id, const vexa::dds::TopicQos& qos, bool hasKey);

    DSTopic(const DSTopic&) = delete;
    DSTopic& operator=(const DSTopic&) = delete;

    // Whether a remote reader may take this topic's stored samples (the topic offers).
    bool isConsistent(const vexa::dds::SubscriptionBuiltinTopicData& sub) const;
    // Whether another participant's description of the topic agrees with this one.
    bool isConsistent(const vexa::dds::TopicBuiltinTopicData& other) const;
    bool checkConsistency(const vexa::dds::TopicBuiltinTopicData& other) const {
        return isConsistent(other);
    }

    uint32_t getId() const { return m_id; }
    bool hasKey() const { return m_hasKey; }
    const std::string& name() const { return m_data.name; }
    const vexa::dds::TopicQos& qos() const { return m_qos; }
    const vexa::dds::TopicBuiltinTopicData& data() const { return m_data; }
    DSDomainParticipant* participant() const { return m_participant; }
    DSReader* reader() const { return m_reader; }
    void setReader(DSReader* reader) { m_reader = reader; }

private:
    DSDomainParticipant* const m_participant;
    const uint32_t m_id;
    const bool m_hasKey;
    const vexa::dds::TopicQos m_qos;
    vexa::dds::TopicBuiltinTopicData m_data;
    DSReader* m_reader = nullptr;
};

}  // namespace vexa::ds
