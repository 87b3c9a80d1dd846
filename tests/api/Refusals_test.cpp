// What the typed handles refuse, and how they say so: QoS the consistency rules refuse, use
// after the participant's close, a topic closed while in use, a topic the core does not make.
#include <functional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TypedFixture.h"

namespace {

using apitest::Keyed;
using dds::domain::DomainParticipant;
using ::testing::HasSubstr;

// Runs `op` and returns what it threw as `E`; fails when it threw nothing or something else.
template <class E>
std::string thrown(std::function<void()> const& op) {
    try {
        op();
    } catch (E const& e) {
        return e.what();
    } catch (std::exception const& e) {
        ADD_FAILURE() << "other exception: " << e.what();
        return {};
    }
    ADD_FAILURE() << "nothing thrown";
    return {};
}

// A KEEP_LAST history keeps at least one sample: a writer or reader with depth 0 or below is
// not made, and the exception names the rule.
TEST(Refusals, keepLastDepthBelowOne) {
    DomainParticipant dp(apitest::DOMAIN);
    dds::topic::Topic<Keyed> topic(dp, "RefusedDepth");
    dds::pub::Publisher pub(dp);
    dds::sub::Subscriber sub(dp);
    for (int32_t depth : {0, -1, -5}) {
        SCOPED_TRACE(depth);
        auto history = dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, depth);
        dds::pub::qos::DataWriterQos wq = pub.default_datawriter_qos();
        wq.policy(history);
        EXPECT_THAT(thrown<dds::core::InconsistentPolicyError>(
                        [&] { dds::pub::DataWriter<Keyed> w(pub, topic, wq); }),
                    HasSubstr("KEEP_LAST depth " + std::to_string(depth) + " is below 1"));
        dds::sub::qos::DataReaderQos rq = sub.default_datareader_qos();
        rq.policy(history);
        EXPECT_THAT(thrown<dds::core::InconsistentPolicyError>(
                        [&] { dds::sub::DataReader<Keyed> r(sub, topic, rq); }),
                    HasSubstr("KEEP_LAST depth " + std::to_string(depth) + " is below 1"));
    }
    dp.close();
}

// After the participant's close every reader operation is AlreadyClosedError, as writing is.
TEST(Refusals, useAfterTheParticipantsClose) {
    DomainParticipant dp(apitest::DOMAIN);
    dds::topic::Topic<Keyed> topic(dp, "ClosedUse");
    dds::pub::Publisher pub(dp);
    dds::sub::Subscriber sub(dp);
    dds::pub::DataWriter<Keyed> writer(pub, topic);
    dds::sub::DataReader<Keyed> reader(sub, topic);
    dp.close();
    Keyed s{};
    struct Case {
        char const* name;
        std::function<void()> op;
    } const cases[] = {
        {"write", [&] { writer.write(s); }},
        {"take", [&] { reader.take(); }},
        {"read", [&] { reader.read(); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        thrown<dds::core::AlreadyClosedError>(c.op);
    }
}

// A topic that a writer or reader uses is not closed: the close throws and the topic works on;
// once they are gone the close goes through.
TEST(Refusals, closingATopicInUse) {
    DomainParticipant dp(apitest::DOMAIN);
    dds::topic::Topic<Keyed> topic(dp, "InUse");
    dds::pub::Publisher pub(dp);
    dds::sub::Subscriber sub(dp);
    {
        dds::pub::DataWriter<Keyed> writer(pub, topic);
        EXPECT_THAT(thrown<dds::core::PreconditionNotMetError>([&] { topic.close(); }),
                    HasSubstr("Topic is in use by a writer or reader"));
        EXPECT_EQ(topic.name(), "InUse");
        writer.close();
    }
    {
        dds::sub::DataReader<Keyed> reader(sub, topic);
        thrown<dds::core::PreconditionNotMetError>([&] { topic.close(); });
        reader.close();
    }
    EXPECT_NO_THROW(topic.close());
    dp.close();
}

// A topic the core does not make: the exception carries the core's reason.
TEST(Refusals, aRefusedTopicSaysWhy) {
    DomainParticipant dp(apitest::DOMAIN);
    dds::topic::Topic<Keyed> taken(dp, "Taken");
    struct Case {
        char const* name;
        std::function<void()> op;
        std::string reason;
    } const cases[] = {
        {"name taken", [&] { dds::topic::Topic<Keyed> t(dp, "Taken"); },
         "Тема \"Taken\" не создана: тема с таким именем уже существует"},
        {"empty name", [&] { dds::topic::Topic<Keyed> t(dp, ""); },
         "Тема не создана: пустое имя темы \"\""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THAT(thrown<dds::core::NullReferenceError>(c.op), HasSubstr(c.reason));
    }
    dp.close();
}

}  // namespace
