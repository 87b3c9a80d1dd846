#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <pthread.h>

#include "dcps/lock/OrderedMutex.h"
#include "vexa/dds/EntityQos.h"

namespace vexa::dcps {

class DomainParticipant;
struct TypeSupportCB;
namespace api {
class TypeSupportFactoryImpl;
}

// Creates, finds and deletes the participants of ten domain slots, keeps the type-support
// registry (the four built-in topics and every user type) and runs the collector that
// destroys deleted entities two passes after their deletion.
//
// Locks: the factory mutex (recursive) comes before any participant mutex; the collector's
// control mutex and each collector run's mutex are leaves, and no thread is joined while the
// control mutex is held. Listeners run on data-handling threads that hold a participant mutex,
// so every factory operation refuses to run on such a thread (it would take the factory mutex
// after a participant mutex, or join its own thread).
class DPFactory {
public:
    static constexpr unsigned DOMAIN_SLOTS = 10;
    static constexpr unsigned MAX_DOMAIN_ID = 229;

    struct DomainCB {
        int32_t domainId = -1;  // -1: free
        int32_t nextId = 0;
        std::vector<DomainParticipant*> localDPs;  // indexed by participant id, entry 0 null
    };
    // One built-in topic's type support, as the API layer registers it.
    struct BuiltinTopicApiSupport_ {
        std::string topic_name;
        std::string topic_type;
        api::TypeSupportFactoryImpl* type_factory;
    };

    // `collectPeriod`: seconds between collector passes; 0: no collector.
    explicit DPFactory(int32_t collectPeriod);
    // Stops the collector, closes and destroys every participant left, then the type supports.
    ~DPFactory();
    DPFactory(DPFactory const&) = delete;
    DPFactory& operator=(DPFactory const&) = delete;

    bool isReady() const { return ready_; }

    // `qos` null: the default participant QoS. Null when the domain id is above 229, the ten
    // slots are taken by other domains, the domain's ids are used up, or the engine refused.
    DomainParticipant* createParticipant(unsigned domainId,
                                         vexa::dds::DomainParticipantQos const* qos);
    // The first participant of the domain, in id order, not marked for deletion.
    DomainParticipant* lookup_participant(unsigned domainId);
    // Closes a live participant of this factory; the collector destroys it later.
    void delete_participant(DomainParticipant* participant);
    void setDefaultQos(vexa::dds::DomainParticipantQos const& qos);
    // Leaves `out` as it was when refused on a data-handling thread.
    void getDefaultQos(vexa::dds::DomainParticipantQos& out);

    // The registry entry of a factory: its own when it has one (null under another name),
    // else a new one.
    TypeSupportCB* addTypeSupport(char const* typeName, api::TypeSupportFactoryImpl* factory);
    // Binds the built-in topics' factories; always true.
    bool initAPI(std::vector<BuiltinTopicApiSupport_> const& rows);
    // The entry of a built-in topic name, null for another name.
    TypeSupportCB* getBuiltinTypeSupport(std::string const& topicName);

    // A new participant GUID prefix (vexa::OsNewGuidPrefix).
    static void getGUID12(uint32_t (&out)[3]);

    // The slot of a domain, claiming a free one for a new domain; null above 229 or when full.
    DomainCB* getDomain(unsigned domainId);
    // 0 when the domain's ids are used up.
    int32_t getNewDPID(DomainCB* slot);

    // Starts the collector thread unless it runs or the period is 0 (false then, or when the
    // thread cannot start). Stopping joins it when no participant is left.
    bool startGarbageCollector();
    void stopGarbageCollector();
    // One pass over every participant (also callable directly).
    void collectGarbage();

    int32_t participantCount() const;
    bool collectorRunning() const;

private:
    struct CollectorRun;
    static void GarbageCollectorThread(void* arg);

    DomainCB* findDomain(unsigned domainId);
    void addParticipant(DomainCB* slot, DomainParticipant* participant);
    void removeParticipant(DomainCB* slot, DomainParticipant* participant);
    // Adds `delta` to the participant count (under the control mutex).
    void countParticipants(int32_t delta);
    // Stops the collector when no participant is left (decided under the control mutex).
    void stopGarbageCollectorIfIdle();
    // Stops a run taken out of collector_ and joins its thread (no mutex held).
    static void joinCollector(CollectorRun* run);
    bool refusedOnDataThread(char const* operation) const;

    bool ready_ = false;
    DomainCB domains_[DOMAIN_SLOTS];
    bool autoenable_ = true;
    vexa::dds::DomainParticipantQos defaultQos_;
    std::vector<TypeSupportCB*> userTypeSupports_;
    std::map<std::string, TypeSupportCB*> cbBuiltinTypeSupport;
    int32_t const collectPeriod_;
    CoreMutex collectorControl_;
    // The live participants and the collector are one state, both guarded by
    // collectorControl_ (a count also changes only under the factory mutex).
    int32_t participantCount_ = 0;
    CollectorRun* collector_ = nullptr;
    CoreRecursiveMutex mutex_;
};

}  // namespace vexa::dcps
