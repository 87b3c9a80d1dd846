#include "DcpsFuzzHarness.h"

#include <cstdlib>
#include <cstring>

#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/DDSIException.h"

namespace dcpsfuzz {

vexa::dds::Duration_t Input::duration() {
    uint8_t const b = byte();
    return b == 0xFF
               ? vexa::dds::DURATION_INFINITE
               : vexa::dds::Duration_t{static_cast<int32_t>(b & 7), ((b >> 3) % 10) * 100000000u};
}

unsigned int EngineReader::getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                                     unsigned int* entityId, RTPS::SampleInfo& sample) {
    Held& h = find(handle);
    sample = h.info;
    for (int i = 0; i < 3; ++i) {
        (*prefix)[i] = h.prefix[i];
    }
    *entityId = h.entityId;
    return 1;
}

unsigned int EngineReader::deleteChange(RTPS::SampleInfo* handle) {
    if (builtin) {
        return 1;
    }
    for (auto it = held.begin(); it != held.end(); ++it) {
        if (&it->info == handle) {
            held.erase(it);
            return 1;
        }
    }
    throw RTPS::GENERAL_DDSI_ERROR("unknown change");
}

EngineReader::Held& EngineReader::find(RTPS::SampleInfo* handle) {
    for (Held& h : held) {
        if (&h.info == handle) {
            return h;
        }
    }
    throw RTPS::GENERAL_DDSI_ERROR("unknown change");
}

EngineReader::Held& EngineReader::add(unsigned const* prefix, unsigned entityId) {
    held.emplace_back();
    Held& h = held.back();
    std::memcpy(h.prefix, prefix, sizeof h.prefix);
    h.entityId = entityId;
    return h;
}

EngineParticipant::EngineParticipant() {
    for (EngineReader& r : builtin) {
        r.builtin = true;
    }
}

RTPS::Writer* EngineParticipant::addWriter(vexa::dds::PublicationBuiltinTopicData const*,
                                           RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND,
                                           int) {
    writers.push_back(std::make_unique<EngineWriter>());
    return writers.back().get();
}

RTPS::Reader* EngineParticipant::addReader(vexa::dds::SubscriptionBuiltinTopicData const*,
                                           RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND,
                                           int, void*) {
    readers.push_back(std::make_unique<EngineReader>());
    return readers.back().get();
}

vexatest::KeyedTypeSupport* keyed() {
    static vexatest::KeyedTypeSupport* type = [] {
        auto* t = new vexatest::KeyedTypeSupport;
        vexa::dcps::DCPSservice::getInstance().getFactory()->addTypeSupport("Keyed", t);
        return t;
    }();
    return type;
}

std::unique_ptr<vexa::dcps::DomainParticipant> participant(EngineParticipant* engine,
                                                           bool builtinSubscriber) {
    vexa::dcps::DPFactory* factory = vexa::dcps::DCPSservice::getInstance().getFactory();
    if (factory == nullptr) {
        delete engine;
        return nullptr;
    }
    vexatest::KeyedTypeSupport* type = keyed();
    vexa::dds::DomainParticipantQos const qos = vexa::dds::predefParticipantQos();
    auto dp = std::make_unique<vexa::dcps::DomainParticipant>(0, 1, qos);
    dp->setRTPS(engine);
    if (builtinSubscriber) {
        dp->initBuiltinSubscriber(factory);
    }
    dp->setCreated();
    dp->enable();
    dp->registerTypeSupport("Keyed", type->typeSupportCB());
    return dp;
}

}  // namespace dcpsfuzz

// The core's factory is never asked for an engine participant here.
namespace RTPS {
Participant* createParticipant(void*, CommunicationObject*, COMMUNICATION_MODE,
                               vexa::dds::ParticipantBuiltinTopicData*, unsigned int, bool) {
    return nullptr;
}
}  // namespace RTPS

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VEXA_HOME", VEXA_SOURCE_DIR, 0);
    return 0;
}
