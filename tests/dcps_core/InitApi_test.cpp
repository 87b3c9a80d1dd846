// How the API layer binds the built-in topics' type supports, on factories of the test's own.
#include <gtest/gtest.h>

#include "dcps/service/DPFactory.h"
#include "dcps/service/TypeSupportCB.h"
#include "fake/FakeTypes.h"

using vexa::dcps::DPFactory;
using vexatest::KeyedTypeSupport;

TEST(InitApi, BindsEachBuiltinEntryOnce) {
    DPFactory f(0);
    auto* topic = new KeyedTypeSupport;
    auto* bound = new KeyedTypeSupport;
    ASSERT_NE(f.addTypeSupport("Bound", bound), nullptr);

    EXPECT_TRUE(f.initAPI({}));
    EXPECT_TRUE(f.initAPI({
        {"DCPSTopic", "dds::topic::TopicBuiltinTopicData", topic},
        // A factory that has an entry already is skipped: DCPSPublication stays unbound.
        {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData", bound},
    }));
    vexa::dcps::TypeSupportCB* cb = f.getBuiltinTypeSupport("DCPSTopic");
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(cb->factory_, topic);
    EXPECT_EQ(cb->typeName, "dds::topic::TopicBuiltinTopicData");
    EXPECT_EQ(topic->typeSupportCB(), cb);

    vexa::dcps::TypeSupportCB* publication = f.getBuiltinTypeSupport("DCPSPublication");
    ASSERT_NE(publication, nullptr);
    EXPECT_EQ(publication->factory_, nullptr);
    EXPECT_EQ(publication->typeName, "");
    EXPECT_EQ(bound->typeSupportCB()->typeName, "Bound");
    EXPECT_EQ(f.getBuiltinTypeSupport("NoSuchTopic"), nullptr);

    // Bound through the API, the entry answers addTypeSupport under its own name only.
    EXPECT_EQ(f.addTypeSupport("dds::topic::TopicBuiltinTopicData", topic), cb);
    EXPECT_EQ(f.addTypeSupport("Other", topic), nullptr);
}

#ifndef NDEBUG
TEST(InitApiDeathTest, IncompleteOrUnknownRowsAreCallerFaults) {
    EXPECT_DEATH(
        {
            DPFactory f(0);
            f.initAPI({{"DCPSTopic", "", new KeyedTypeSupport}});
        },
        "topic_type");
    EXPECT_DEATH(
        {
            DPFactory f(0);
            f.initAPI({{"NoSuchTopic", "T", new KeyedTypeSupport}});
        },
        "cbBuiltinTypeSupport.end");
    EXPECT_DEATH(
        {
            DPFactory f(0);
            f.initAPI({{"DCPSTopic", "T", new KeyedTypeSupport}});
            f.initAPI({{"DCPSTopic", "T", new KeyedTypeSupport}});
        },
        "factory_");
}
#endif
