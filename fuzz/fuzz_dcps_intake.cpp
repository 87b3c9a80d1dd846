// A reader of the keyed type with small limits gets arbitrary changes (any flags, also the
// historical bit; key hashes zero, right or wrong; handles; source times; payloads whole,
// truncated or garbage) mixed with reads, takes, returns, lost engine changes and collector
// passes, driven through the communication object and the subscriber's handlers on this one
// thread. After every step the books must balance: samples held, instance histories and pool
// slots agree, no count is negative, and the loans the pool counts are the ones held here.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <vector>

#include "DcpsFuzzHarness.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeTypes.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/SampleSeq.h"

namespace {

namespace dds = vexa::dds;
using dcpsfuzz::EngineParticipant;
using dcpsfuzz::EngineReader;
using dcpsfuzz::Input;
using vexa::dcps::Reader;
using vexa::dcps::Subscriber;
using vexa::dcps::api::SampleSeq;

#define check(ok) checkAt((ok), #ok, __LINE__)

void checkAt(bool ok, char const* what, int line) {
    if (!ok) {
        std::fprintf(stderr, "books do not balance: %s (line %d)\n", what, line);
        std::abort();
    }
}

// The books of one reader.
void audit(Reader* reader, Subscriber* sub, vexa::dcps::RTPSCommunicationObject& comm,
           std::vector<SampleSeq> const& loans) {
    uint32_t inInstances = 0;
    uint32_t live = 0;
    for (Reader::InstanceCB const& instance : reader->instances()) {
        inInstances += instance.samples.count();
        live += instance.removed() ? 0 : 1;
        check(!instance.removed() || instance.samples.count() == 0);
    }
    Subscriber::SampleList& pool = sub->pool();
    uint32_t inPool = 0;
    uint64_t poolLoans = 0;
    for (int32_t slot = pool.first(); slot >= 0;) {
        Subscriber::SampleCB* cb = nullptr;
        dds::SampleInfo* info = nullptr;
        check(pool.findSample(slot, cb, info));
        if (cb->reader == reader) {
            ++inPool;
            poolLoans += cb->loans;
            check((cb->flags & Subscriber::SampleCB::SAMPLE_TAKEN) == 0 || cb->loans > 0);
        }
        slot = cb->next;
    }
    uint64_t held = 0;
    for (SampleSeq const& s : loans) {
        held += s.size();
    }
    check(reader->samplesHeld() == inInstances);
    check(reader->samplesHeld() == inPool);
    check(reader->liveInstances() == live);
    check(poolLoans == held);
    check(comm.pending() >= 0 && comm.postponed() >= 0 && comm.postponed() <= comm.pending());
    dds::SampleLostStatus lost;
    dds::SampleRejectedStatus rejected;
    sub->getSampleLostStatus(lost, reader);
    sub->getSampleRejectedStatus(rejected, reader);
    check(lost.total_count >= 0 && rejected.total_count >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (vexa::dcps::DCPSservice::getInstance().getFactory() == nullptr) {
        return 0;
    }
    Input in{data, size};
    vexatest::KeyedTypeSupport* type = dcpsfuzz::keyed();
    auto* engine = new EngineParticipant;
    std::unique_ptr<vexa::dcps::DomainParticipant> dp = dcpsfuzz::participant(engine, false);
    vexa::dcps::Topic* topic = dp->createTopic("F", "Keyed", nullptr, nullptr, 0);
    Subscriber* sub = dp->createSubscriber(nullptr, nullptr, 0);

    dds::DataReaderQos qos = dds::predefDataReaderQos();
    uint8_t const shape = in.byte();
    qos.history.depth = 1 + (shape & 3);
    qos.history.kind = (shape & 4) != 0 ? dds::KEEP_ALL_HISTORY_QOS : dds::KEEP_LAST_HISTORY_QOS;
    qos.reliability.kind =
        (shape & 8) != 0 ? dds::RELIABLE_RELIABILITY_QOS : dds::BEST_EFFORT_RELIABILITY_QOS;
    qos.destination_order.kind = (shape & 16) != 0
                                     ? dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS
                                     : dds::BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS;
    uint8_t const limits = in.byte();
    qos.resource_limits.max_samples = 1 + (limits & 7);
    qos.resource_limits.max_instances = 1 + ((limits >> 3) & 3);
    qos.resource_limits.max_samples_per_instance = (limits & 0x80) != 0 ? 2 : -1;
    qos.reader_data_lifecycle.autopurge_disposed_samples_delay =
        (shape & 32) != 0 ? dds::Duration_t{0, 0} : dds::DURATION_INFINITE;
    qos.reader_data_lifecycle.autopurge_nowriter_samples_delay =
        (shape & 64) != 0 ? dds::Duration_t{0x7FFFFFFE, 0} : dds::DURATION_INFINITE;
    Reader* reader = sub->createDR(topic, &qos, nullptr, 0);
    if (reader == nullptr) {
        return 0;
    }
    EngineReader* engineReader = engine->readers.back().get();
    vexa::dcps::RTPSCommunicationObject& comm = *dp->getCommunicationObject();
    std::vector<SampleSeq> loans;
    uint32_t seq = 0;

    while (in.more()) {
        uint8_t const op = in.byte();
        switch (op % 10) {
            case 0:
            case 1:
            case 2: {  // a change
                vexatest::KeyedSample s;
                s.key = in.byte() % 6;
                s.value = in.byte();
                uint8_t const f = in.byte();
                EngineReader::Held h{};
                h.entityId = 0x102;
                h.info.statusFlags = (f & 7u) | ((f & 8u) != 0 ? 0x40000000u : 0u) |
                                     (static_cast<uint32_t>(f & 0xF0u) << 12);
                h.info.sourceTimestamp = {static_cast<int32_t>(in.byte()), 0};
                h.info.instanceHandle = in.byte();
                h.info.sequenceNumber.low = ++seq;
                uint8_t const hash = in.byte();
                if ((hash & 3) == 1) {
                    dds::KeyHash_t const k = type->keyHash(&s);
                    std::memcpy(h.info.keyHash, k.hash, sizeof k.hash);
                } else if ((hash & 3) == 2) {
                    h.info.keyHash[hash % 16] = hash;
                }
                std::vector<uint8_t> bytes(vexatest::KeyedTypeSupport::PACKED_SIZE);
                type->pack(bytes.data(), static_cast<unsigned>(bytes.size()), &s);
                uint8_t const payload = in.byte();
                if ((payload & 3) == 1) {
                    bytes.resize(payload % bytes.size());  // truncated
                } else if ((payload & 3) == 2) {
                    for (uint8_t& b : bytes) {
                        b ^= in.byte();  // garbage
                    }
                }
                h.bytes = std::move(bytes);
                engineReader->held.push_back(std::move(h));
                EngineReader::Held& kept = engineReader->held.back();
                kept.info.data = kept.bytes.data();
                kept.info.length = kept.bytes.size();
                comm.changeAvailable(engineReader, reader, &kept.info);
                break;
            }
            case 3:
                sub->ddsicashHandler();
                break;
            case 4:
            case 5: {  // read or take
                if (loans.size() >= 4) {
                    break;
                }
                SampleSeq s;
                uint8_t const masks = in.byte();
                int32_t const max = static_cast<int32_t>(in.byte() % 5) - 1;
                sub->loanSamples(s, reader, op % 10 == 4, max == 0 ? -1 : max,
                                 1u + (masks & 3u) % 3u, 1u + ((masks >> 2) & 3u) % 3u,
                                 (masks & 0x80) != 0 ? dds::ANY_INSTANCE_STATE : 1u);
                if (!s.empty()) {
                    loans.push_back(std::move(s));
                }
                break;
            }
            case 6: {  // one instance, or the next
                if (loans.size() >= 4 || reader->instances().empty()) {
                    break;
                }
                SampleSeq s;
                uint8_t const pick = in.byte();
                dds::InstanceHandle_t const handle =
                    (pick & 1) != 0 ? reader->instances()[pick % reader->instances().size()].handle
                                    : static_cast<dds::InstanceHandle_t>(pick);
                sub->loanInstanceSamples(s, reader, (pick & 2) != 0, handle, (pick & 4) != 0, -1,
                                         dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                         dds::ANY_INSTANCE_STATE);
                if (!s.empty()) {
                    loans.push_back(std::move(s));
                }
                break;
            }
            case 7: {  // a return, sometimes with a stranger in it
                if (loans.empty()) {
                    break;
                }
                size_t const i = in.byte() % loans.size();
                SampleSeq s = std::move(loans[i]);
                loans.erase(loans.begin() + static_cast<std::ptrdiff_t>(i));
                dds::SampleInfo stranger;
                if ((in.byte() & 1) != 0) {
                    s.push_back(nullptr, &stranger);
                    s.push_back(nullptr, reinterpret_cast<dds::SampleInfo*>(
                                             reinterpret_cast<char*>(s.info[0]) + 4));
                }
                sub->returnLoan(s, reader);
                break;
            }
            case 8:  // the collector, some time later
                dp->getTimeService().advance(static_cast<uint64_t>(in.byte()) * 100000u);
                sub->collectGarbage();
                break;
            case 9:  // the engine lost a change it had announced
                if (!engineReader->held.empty()) {
                    engineReader->held.pop_front();
                }
                break;
        }
        audit(reader, sub, comm, loans);
    }
    for (SampleSeq& s : loans) {
        sub->returnLoan(s, reader);
    }
    loans.clear();
    audit(reader, sub, comm, loans);
    sub->ddsicashHandler();
    dp.reset();
    return 0;
}
