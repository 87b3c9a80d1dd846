#include "ReaderFixture.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "vexa_pack.h"

namespace vexatest {

using vexa::dcps::Reader;
using vexa::dcps::api::SampleSeq;
namespace dds = vexa::dds;

void ReaderFixture::SetUp() {
    dp_ = factory().createParticipant(testDomain(), nullptr);
    ASSERT_NE(dp_, nullptr);
    engine_ = FakeEngine::instance().newest();
    registerFakeTypes(dp_);
    keyed_ = dp_->createTopic("K", "Keyed", nullptr, nullptr, 0);
    keyless_ = dp_->createTopic("L", "Keyless", nullptr, nullptr, 0);
    sub_ = dp_->createSubscriber(nullptr, nullptr, 0);
    ASSERT_TRUE(keyed_ && keyless_ && sub_);
}

void ReaderFixture::TearDown() {
    factory().delete_participant(dp_);
    factory().collectGarbage();
    factory().collectGarbage();
}

dds::DataReaderQos ReaderFixture::qosOf(int32_t depth, int32_t maxSamples, int32_t maxInstances,
                                        int32_t perInstance) {
    dds::DataReaderQos q = vexa::dcps::Subscriber::default_dr_qos_predef_;
    q.history.depth = depth;
    q.resource_limits.max_samples = maxSamples;
    q.resource_limits.max_instances = maxInstances;
    q.resource_limits.max_samples_per_instance = perInstance;
    return q;
}

Reader* ReaderFixture::makeReader(dds::DataReaderQos const& qos, vexa::dcps::Topic* topic,
                                  vexa::dcps::Subscriber* subscriber) {
    subscriber = subscriber != nullptr ? subscriber : sub_;
    Reader* r = subscriber->createDR(topic != nullptr ? topic : keyed_, &qos, nullptr, 0);
    EXPECT_NE(r, nullptr);
    return r;
}

FakeReader* ReaderFixture::engineOf(Reader* reader) const {
    for (FakeReader* r : engine_->userReaders()) {
        if (r->userData() == reader) {
            return r;
        }
    }
    return nullptr;
}

RTPS::SampleInfo* ReaderFixture::offerBytes(Reader* reader, std::vector<uint8_t> const& bytes,
                                            uint32_t flags, dds::Time_t source) {
    RTPS::SampleInfo info{};
    info.statusFlags = flags;
    info.sourceTimestamp = source;
    info.length = bytes.size();
    static uint32_t seq = 0;
    info.sequenceNumber.low = ++seq;
    unsigned const prefix[3] = {1, 2, 3};
    FakeReader* engine = engineOf(reader);
    RTPS::SampleInfo* handle =
        engine->addHeldChange(info, bytes.data(), bytes.size(), prefix, 0x102);
    engine_->queueChangeAvailable(engine, reader, handle);
    return handle;
}

RTPS::SampleInfo* ReaderFixture::offer(Reader* reader, int32_t key, int32_t value, uint32_t flags,
                                       dds::Time_t source, bool withHash) {
    unsigned const prefix[3] = {1, 2, 3};
    return offerFrom(reader, prefix, 0x102, key, value, flags, 0, source, withHash);
}

void ReaderFixture::offerDatagram(Reader* reader, int32_t key, std::vector<int32_t> const& values,
                                  std::function<void(size_t)> between) {
    unsigned const prefix[3] = {1, 2, 3};
    std::vector<RTPS::SampleInfo*> handles;
    for (int32_t value : values) {
        handles.push_back(
            heldChange(reader, prefix, 0x102, key, value, RTPS::SAMPLE_ALIVE, 0, {100, 0}, false));
    }
    engine_->queueDatagram(engineOf(reader), reader, handles, std::move(between));
}

RTPS::SampleInfo* ReaderFixture::offerFrom(Reader* reader, unsigned const (&prefix)[3],
                                           unsigned entityId, int32_t key, int32_t value,
                                           uint32_t flags, int32_t instanceHandle,
                                           dds::Time_t source, bool withHash) {
    RTPS::SampleInfo* handle =
        heldChange(reader, prefix, entityId, key, value, flags, instanceHandle, source, withHash);
    engine_->queueChangeAvailable(engineOf(reader), reader, handle);
    return handle;
}

RTPS::SampleInfo* ReaderFixture::heldChange(Reader* reader, unsigned const (&prefix)[3],
                                            unsigned entityId, int32_t key, int32_t value,
                                            uint32_t flags, int32_t instanceHandle,
                                            dds::Time_t source, bool withHash) {
    KeyedSample s;
    s.key = key;
    s.value = value;
    std::vector<uint8_t> bytes(KeyedTypeSupport::PACKED_SIZE);
    EXPECT_EQ(keyedType().pack(bytes.data(), static_cast<unsigned>(bytes.size()), &s),
              bytes.size());
    RTPS::SampleInfo info{};
    if (withHash) {
        dds::KeyHash_t const h = keyedType().keyHash(&s);
        std::memcpy(info.keyHash, h.hash, sizeof info.keyHash);
    }
    info.instanceHandle = instanceHandle;
    info.statusFlags = flags;
    info.sourceTimestamp = source;
    info.length = bytes.size();
    static uint32_t seq = 1000000;
    info.sequenceNumber.low = ++seq;
    return engineOf(reader)->addHeldChange(info, bytes.data(), bytes.size(), prefix, entityId);
}

void ReaderFixture::settle() {
    engine_->drain();
    // Nothing signals the end of an intake pass; the counters fall inside it, and the pass
    // holds the participant mutex, so once they agree, taking that mutex waits for its end.
    auto const until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (comm().pending() != comm().postponed() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(comm().pending(), comm().postponed());
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> pass(dp_->getMutex());
    }
    // The pass's listener calls come after it let the mutex go.
    dp_->listenerCalls().waitForOpenBatches();
}

dds::ReturnCode_t ReaderFixture::read(SampleSeq& seq, Reader* reader, int32_t max) {
    return reader->getSubscriber()->loanSamples(seq, reader, true, max, dds::ANY_SAMPLE_STATE,
                                                dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE);
}

dds::ReturnCode_t ReaderFixture::take(SampleSeq& seq, Reader* reader, int32_t max) {
    return reader->getSubscriber()->loanSamples(seq, reader, false, max, dds::ANY_SAMPLE_STATE,
                                                dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE);
}

dds::ReturnCode_t ReaderFixture::giveBack(SampleSeq& seq, Reader* reader) {
    dds::ReturnCode_t const rc = reader->getSubscriber()->returnLoan(seq, reader);
    seq.clear();
    return rc;
}

void ReaderFixture::drainReader(Reader* reader) {
    SampleSeq seq;
    take(seq, reader);
    giveBack(seq, reader);
}

int32_t ReaderFixture::keyOf(SampleSeq const& seq, size_t i) {
    return static_cast<KeyedSample const*>(seq.data[i])->key;
}

int32_t ReaderFixture::valueOf(SampleSeq const& seq, size_t i) {
    return static_cast<KeyedSample const*>(seq.data[i])->value;
}

dds::SampleLostStatus ReaderFixture::lost(Reader* reader) {
    dds::SampleLostStatus s;
    reader->getSubscriber()->getSampleLostStatus(s, reader);
    return s;
}

dds::SampleRejectedStatus ReaderFixture::rejected(Reader* reader) {
    dds::SampleRejectedStatus s;
    reader->getSubscriber()->getSampleRejectedStatus(s, reader);
    return s;
}

}  // namespace vexatest
