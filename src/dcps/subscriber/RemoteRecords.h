#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexa::dcps {

class Reader;
class Writer;
struct RemoteDP;

// What the built-in subscriber knows of the other participants of the domain. The records are
// guarded by the built-in subscriber's mutex; local writers and readers keep pointers to the
// endpoint records, which stay at their address until the collector erases them.

// A remote writer. Its id (0 until given) is its publication handle on the local side.
struct RemoteDW {
    uint32_t id = 0;
    bool handled = false;  // its removal was passed to the local side
    bool lapsed = false;   // handled because its participant's lease ended: announced again, it
                           // is matched again
    vexa::dds::Time_t lastSample;
    vexa::dds::PublicationBuiltinTopicData data;
    RemoteDP* participant = nullptr;
    std::vector<Reader*> readers;  // matched local readers
};

// A remote reader, the mirror of RemoteDW.
struct RemoteDR {
    uint32_t id = 0;
    bool handled = false;
    bool lapsed = false;
    vexa::dds::Time_t lastSample;
    vexa::dds::SubscriptionBuiltinTopicData data;
    RemoteDP* participant = nullptr;
    std::vector<Writer*> writers;  // matched local writers
};

struct RemoteTopic {
    static constexpr uint32_t REMOVED = 2;
    uint32_t flags = 0;
    bool stored = false;  // nothing received yet
    vexa::dds::TopicBuiltinTopicData data;
};

struct RemoteDP {
    static constexpr uint32_t LOST = 1;     // the engine's lease expired
    static constexpr uint32_t REMOVED = 2;  // departed, or lost for too long
    uint32_t prefix[3] = {0, 0, 0};
    uint32_t flags = 0;
    vexa::dds::Time_t activity;                             // 0 until first heard
    vexa::dds::Time_t writerLiveliness;                     // last assertion by its writers
    std::map<uint32_t, std::unique_ptr<RemoteDW>> writers;  // by entity id
    std::map<uint32_t, std::unique_ptr<RemoteDR>> readers;
    std::map<std::string, RemoteTopic> topics;
};

}  // namespace vexa::dcps
