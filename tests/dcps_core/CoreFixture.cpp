#include "CoreFixture.h"

#include <cstdio>

#include "fake/BuiltinRecordTypeSupport.h"

namespace vexatest {

using vexa::dcps::DPFactory;

void writeDcpsConfig(int collectPeriod) {
    FILE* f = std::fopen("dcps.cfg", "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "DCPS.READABLE_LOG_LEVEL = ОТЛАДКА_2\nDCPS.COLLECT_GARBAGE_PERIOD = %d\n",
                 collectPeriod);
    std::fclose(f);
}

namespace {

class CoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        writeDcpsConfig(3600);
        ASSERT_NE(vexa::dcps::DCPSservice::getInstance().getFactory(), nullptr);
        registerBuiltins();
    }

    static void registerBuiltins() {
        static auto* participant =
            new BuiltinRecordTypeSupport<vexa::dds::ParticipantBuiltinTopicData>;
        static auto* topic = new BuiltinRecordTypeSupport<vexa::dds::TopicBuiltinTopicData>;
        static auto* publication =
            new BuiltinRecordTypeSupport<vexa::dds::PublicationBuiltinTopicData>;
        static auto* subscription =
            new BuiltinRecordTypeSupport<vexa::dds::SubscriptionBuiltinTopicData>;
        vexa::dcps::DCPSservice::getInstance().getFactory()->initAPI({
            {"DCPSParticipant", "dds::topic::ParticipantBuiltinTopicData", participant},
            {"DCPSTopic", "dds::topic::TopicBuiltinTopicData", topic},
            {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData", publication},
            {"DCPSSubscription", "dds::topic::SubscriptionBuiltinTopicData", subscription},
        });
    }
};

::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new CoreEnvironment);

}  // namespace

DPFactory& factory() {
    return *vexa::dcps::DCPSservice::getInstance().getFactory();
}

unsigned testDomain() {
    return 7;
}

// The factory owns registered type supports; these two are registered once and live with it.
KeyedTypeSupport& keyedType() {
    static KeyedTypeSupport* t = [] {
        auto* k = new KeyedTypeSupport;
        factory().addTypeSupport("Keyed", k);
        return k;
    }();
    return *t;
}

KeylessTypeSupport& keylessType() {
    static KeylessTypeSupport* t = [] {
        auto* k = new KeylessTypeSupport;
        factory().addTypeSupport("Keyless", k);
        return k;
    }();
    return *t;
}

void registerFakeTypes(vexa::dcps::DomainParticipant* dp) {
    ASSERT_EQ(dp->registerTypeSupport("Keyed", keyedType().typeSupportCB()), vexa::dds::RETCODE_OK);
    ASSERT_EQ(dp->registerTypeSupport("Keyless", keylessType().typeSupportCB()),
              vexa::dds::RETCODE_OK);
}

}  // namespace vexatest
