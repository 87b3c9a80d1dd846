// The typed reader's instance operations as an application calls them: select() narrows a
// read or take to one instance or to the instance after one, lookup_instance and key_value go
// between keys and handles, and wait_for_historical_data waits for the engine's history.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "fake/FakeReader.h"

namespace {

using apitest::expectThrowText;
using apitest::Keyed;
using dds::core::InstanceHandle;
using dds::sub::DataReader;
using dds::sub::status::DataState;

Keyed keyOf(int32_t key) {
    Keyed k;
    k.key = key;
    return k;
}

class ReaderInstancesTest : public apitest::KeyedTopicSuite<ReaderInstancesTest> {
public:
    static constexpr char const* TOPIC = "InstancesKeyed";

protected:
    // A reader that keeps everything, with the samples {key, value} offered in this order.
    DataReader<Keyed> readerWith(std::vector<std::pair<int32_t, int32_t>> const& samples,
                                 dds::sub::qos::DataReaderQos q) {
        q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
        DataReader<Keyed> reader(sub_, *topic_, q);
        for (auto const& s : samples) {
            apitest::offer(reader->reader(), s.first, s.second);
        }
        EXPECT_TRUE(holds(reader, samples.size())) << "the samples did not arrive";
        return reader;
    }
    DataReader<Keyed> readerWith(std::vector<std::pair<int32_t, int32_t>> const& samples) {
        return readerWith(samples, sub_.default_datareader_qos());
    }

    // Waits until the reader holds `n` samples. Reading marks them read, so each wait is for
    // a sample that came after the last read.
    static bool holds(DataReader<Keyed>& reader, size_t n) {
        dds::sub::cond::ReadCondition fresh(reader, DataState::new_data());
        dds::core::cond::WaitSet ws;
        ws += fresh;
        while (reader.read().length() < n) {
            try {
                ws.wait(dds::core::Duration(5, 0));
            } catch (dds::core::TimeoutError const&) {
                return false;
            }
        }
        return true;
    }

    static std::vector<int32_t> values(dds::sub::LoanedSamples<Keyed> const& samples) {
        std::vector<int32_t> out;
        for (auto const& s : samples) {
            out.push_back(s.data().value);
        }
        return out;
    }

    dds::sub::Subscriber sub_{*dp_};
};

// instance(h) lends the samples of that instance only; take removes just those.
TEST_F(ReaderInstancesTest, instanceNarrowsReadAndTakeToOneInstance) {
    DataReader<Keyed> reader = readerWith({{1, 10}, {2, 20}, {1, 11}, {3, 30}});
    InstanceHandle const one = reader.lookup_instance(keyOf(1));
    InstanceHandle const two = reader.lookup_instance(keyOf(2));
    ASSERT_FALSE(one.is_nil());
    ASSERT_FALSE(two.is_nil());
    EXPECT_NE(one, two);

    {
        dds::sub::LoanedSamples<Keyed> read = reader.select().instance(two).read();
        EXPECT_EQ(values(read), std::vector<int32_t>{20});
        ASSERT_EQ(read.length(), 1u);
        EXPECT_EQ(read[0].info().instance_handle(), two);
    }
    EXPECT_EQ(values(reader.select().instance(one).take()), (std::vector<int32_t>{10, 11}));
    EXPECT_TRUE(reader.select().instance(one).read().empty()) << "taken";
    EXPECT_EQ(values(reader.read()), (std::vector<int32_t>{20, 30}));
    EXPECT_EQ(values(reader.select().instance(two).max_samples(1).take()),
              std::vector<int32_t>{20});
    // holds() read them all: none is new any more.
    EXPECT_TRUE(reader.select().instance(two).state(DataState::new_data()).read().empty());
}

// next_instance(h) lends the samples of the first instance after h: starting from nil and
// passing the last instance lent walks every instance once, in handle order.
TEST_F(ReaderInstancesTest, nextInstanceWalksEveryInstanceOnce) {
    DataReader<Keyed> reader = readerWith({{7, 70}, {5, 50}, {7, 71}, {6, 60}});
    std::vector<int32_t> keys;
    std::vector<InstanceHandle> handles;
    InstanceHandle last = dds::core::null_type();
    for (;;) {
        dds::sub::LoanedSamples<Keyed> s = reader.select().next_instance(last).read();
        if (s.empty()) {
            break;
        }
        for (auto const& one : s) {
            EXPECT_EQ(one.info().instance_handle(), s[0].info().instance_handle());
            EXPECT_EQ(one.data().key, s[0].data().key);
        }
        keys.push_back(s[0].data().key);
        last = s[0].info().instance_handle();
        handles.push_back(last);
        ASSERT_LE(keys.size(), 3u) << "an instance came twice";
    }
    EXPECT_EQ(std::multiset<int32_t>(keys.begin(), keys.end()), (std::multiset<int32_t>{5, 6, 7}));
    for (size_t i = 1; i < handles.size(); ++i) {
        EXPECT_TRUE(handles[i - 1] < handles[i]) << "step " << i;
    }

    // take of the next instance takes that one instance.
    dds::sub::LoanedSamples<Keyed> first =
        reader.select().next_instance(dds::core::null_type()).take();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0].data().key, keys[0]);
    EXPECT_EQ(first[0].info().instance_handle(), handles[0]);
    EXPECT_EQ(reader.read().length(), 4u - first.length());
}

// key_value gives the key fields of an instance; lookup_instance of an unknown key is nil,
// and operations on an instance the reader does not know throw InvalidArgumentError.
TEST_F(ReaderInstancesTest, keysAndHandles) {
    DataReader<Keyed> reader = readerWith({{42, 1}, {43, 2}});
    for (int32_t key : {42, 43}) {
        InstanceHandle const h = reader.lookup_instance(keyOf(key));
        ASSERT_FALSE(h.is_nil()) << key;
        Keyed k = keyOf(0);
        k.value = 99;
        EXPECT_EQ(&reader.key_value(k, h), &k);
        EXPECT_EQ(k.key, key);
        EXPECT_EQ(reader.key_value(h).key, key);
    }
    EXPECT_TRUE(reader.lookup_instance(keyOf(44)).is_nil());

    InstanceHandle const unknown(0x7ffffff0);
    struct Row {
        char const* name;
        std::function<void()> call;
        char const* text;
    } const rows[] = {
        {"key_value", [&] { reader.key_value(unknown); }, "key_value at DataReaderDelegate:225"},
        {"read_instance", [&] { reader.select().instance(unknown).read(); },
         "read_instance at DataReaderDelegate:190"},
        {"take_instance", [&] { reader.select().instance(unknown).take(); },
         "take_instance at DataReaderDelegate:205"},
        {"read_instance of nil", [&] { reader.select().instance(dds::core::null_type()).read(); },
         "read_instance at DataReaderDelegate:190"},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        expectThrowText<dds::core::InvalidArgumentError>(
            row.call, std::string("dds::core::InvalidArgumentError : ") + row.text);
    }
    EXPECT_EQ(reader.read().length(), 2u) << "a refused call lends nothing";
}

// A volatile reader has no history to wait for; a durable one waits for its engine reader and
// throws TimeoutError when that does not finish in time.
TEST_F(ReaderInstancesTest, waitForHistoricalDataWaitsForTheEngine) {
    EXPECT_NO_THROW(readerWith({}).wait_for_historical_data(dds::core::Duration(0, 1000000)));

    dds::sub::qos::DataReaderQos q = sub_.default_datareader_qos();
    q.policy(dds::core::policy::Durability(dds::core::policy::DurabilityKind::TRANSIENT_LOCAL));
    DataReader<Keyed> durable = readerWith({}, q);
    vexatest::FakeParticipant* participant = nullptr;
    vexatest::FakeReader* engine = apitest::engineReaderOf(durable->reader(), &participant);
    ASSERT_NE(engine, nullptr);
    engine->setHistoryResult(vexatest::FakeReader::HistoryResult::TimedOut);
    expectThrowText<dds::core::TimeoutError>(
        [&] { durable.wait_for_historical_data(dds::core::Duration(0, 50000000)); },
        "dds::core::TimeoutError : wait_for_historical_data at DataReaderDelegate:230");
    EXPECT_FALSE(engine->historyWaits().empty());
    engine->setHistoryResult(vexatest::FakeReader::HistoryResult::Delivered);
    EXPECT_NO_THROW(durable.wait_for_historical_data(dds::core::Duration(5, 0)));
}

// After close every one of these throws AlreadyClosedError with its location.
TEST_F(ReaderInstancesTest, closedReaderRefusesEach) {
    DataReader<Keyed> reader = readerWith({{1, 1}});
    InstanceHandle const h = reader.lookup_instance(keyOf(1));
    reader.close();
    struct Row {
        char const* name;
        std::function<void()> call;
        int line;
    } const rows[] = {
        {"instance read", [&] { reader.select().instance(h).read(); }, 190},
        {"next instance take", [&] { reader.select().next_instance(h).take(); }, 205},
        {"lookup_instance", [&] { reader.lookup_instance(keyOf(1)); }, 220},
        {"key_value", [&] { reader.key_value(h); }, 225},
        {"wait_for_historical_data",
         [&] { reader.wait_for_historical_data(dds::core::Duration(1, 0)); }, 230},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        expectThrowText<dds::core::AlreadyClosedError>(
            row.call,
            "DataReader is already closed at DataReaderDelegate:" + std::to_string(row.line));
    }
}

}  // namespace
