// Two processes on loopback: the subscriber opens its receive socket, then starts the publisher
// (this program with "publish"), which composes CDR samples into RTPS DATA and DATA_FRAG
// submessages and sends them through libtrellis. The subscriber's message receiver parses
// every datagram; fragments are put together again and each sample is unpacked and printed.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "DemoSample.h"
#include "rtps/history/CacheChange.h"
#include "rtps/writer/ChangeForReader.h"
#include "rtps/wire/Locator.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/participant/Participant.h"
#include "rtps/io/RTPSDataTransport.h"
#include "rtps/participant/Config.h"

namespace {

constexpr uint16_t DEMO_PORT = 7411;  // user unicast port of participant 0 in domain 0
constexpr unsigned SAMPLE_COUNT = 20;
constexpr unsigned LARGE_SAMPLE = 10;  // this one carries 200 000 bytes: it travels in fragments
constexpr auto DEADLINE = std::chrono::seconds(10);

RTPS::Locator_t loopback() {
    RTPS::Locator_t locator{};
    locator.kind = RTPS::LOCATOR_KIND_UDPv4;
    locator.port = DEMO_PORT;
    RTPS::strToLoc(&locator, "127.0.0.1");
    return locator;
}

void makePrefix(uint8_t (&prefix)[12], uint8_t role) {
    std::memset(prefix, 0, sizeof prefix);
    prefix[0] = 0xAA;
    prefix[1] = 0xAA;
    const pid_t pid = getpid();
    std::memcpy(prefix + 2, &pid, sizeof pid);
    prefix[11] = role;
}

// The subscriber's side of the engine: every received change comes here on the parser thread.
class SubscriberSide : public RTPS::Participant {
public:
    // Samples rebuilt from fragments may be at most this large.
    explicit SubscriberSide(uint32_t maxSampleSize) : m_maxSampleSize(maxSampleSize) {}

    void attach(RTPS::MessageReceiver* receiver) { m_receiver = receiver; }

    void dataRecipient(void* data, unsigned short length) override {
        if (RTPS::MessageReceiver* receiver = m_receiver) {
            receiver->receiveMessage(data, length);
        }
    }
    RTPS::CacheChange* addChange(RTPS::EntityId_t&, RTPS::CacheChange* change) override {
        deliver(change);
        return nullptr;
    }
    bool addChange(RTPS::CacheChange* change) override {
        deliver(change);
        return false;
    }

    // True once every sample arrived before the deadline.
    bool waitForAll() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_done.wait_for(lock, DEADLINE, [this] { return m_received == SAMPLE_COUNT; });
    }

private:
    void deliver(RTPS::CacheChange* change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const uint32_t sn = change->sampleInfo.sequenceNumber.low;
        if (change->fragmentsInSubmessage == 0) {
            show(change->sampleInfo.data, change->sampleInfo.length, sn, 1);
            return;
        }
        std::unique_ptr<RTPS::CacheChange>& whole = m_partial[sn];
        if (!whole) {
            whole.reset(new RTPS::CacheChange(change->writerGUID, nullptr));
        }
        if (whole->addFragmentData(change->sampleSize, change->fragmentSize,
                                   change->fragmentStartingNum, change->fragmentsInSubmessage,
                                   change->sampleInfo.data, change->sampleInfo.length,
                                   m_maxSampleSize) != RTPS::FragmentVerdict::Accepted) {
            std::printf("subscriber: fragment %u of sample %u refused\n",
                        change->fragmentStartingNum, sn);
            return;
        }
        if (whole->allFragmentPresent()) {
            show(whole->sampleInfo.data, whole->sampleInfo.length, sn,
                 (change->sampleSize + change->fragmentSize - 1) / change->fragmentSize);
            m_partial.erase(sn);
        }
    }

    void show(const void* data, uint64_t length, uint32_t sn, uint32_t fragments) {
        DemoSample sample;
        if (!sample.unpack(static_cast<const uint8_t*>(data), length)) {
            std::printf("subscriber: sample %u is not a whole sample (%llu bytes)\n", sn,
                        static_cast<unsigned long long>(length));
            return;
        }
        std::printf(
            "subscriber: sample %2u  id=%-3d source=%-8s value=%8.3f  %6zu blob bytes"
            "  %s\n",
            sn, sample.id, sample.source.c_str(), sample.value, sample.blob.size(),
            fragments > 1 ? "(reassembled from DATA_FRAG)" : "(one DATA)");
        if (++m_received == SAMPLE_COUNT) {
            m_done.notify_all();
        }
    }

    const uint32_t m_maxSampleSize;
    std::atomic<RTPS::MessageReceiver*> m_receiver{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_done;
    unsigned m_received = 0;
    std::map<uint32_t, std::unique_ptr<RTPS::CacheChange>> m_partial;
};

// The publisher reads nothing: its transport only needs a participant to exist.
class PublisherSide : public RTPS::Participant {
public:
    void dataRecipient(void*, unsigned short) override {}
};

int publish() {
    // The subscriber ends this process with SIGTERM once it has everything.
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);

    PublisherSide side;
    std::unique_ptr<RTPS::RTPSDataTransport> transport(RTPS::getTransport(&side));
    if (!transport || !transport->init()) {
        std::printf("publisher: the transport did not start\n");
        return 1;
    }
    uint8_t prefix[12];
    makePrefix(prefix, 1);
    RTPS::MessageComposer composer(transport.get(), prefix);
    RTPS::Locator_t destination = loopback();
    RTPS::RTPSOutSocket* socket = composer.getSocket(destination);
    if (socket == nullptr) {
        std::printf("publisher: no socket to 127.0.0.1:%u\n", DEMO_PORT);
        return 1;
    }
    RTPS::GUID_t writer{};
    std::memcpy(writer.guidPrefix, prefix, sizeof prefix);
    writer.entityId = RTPS::EntityId_t{{0x00, 0x00, 0x01}, 0x02};  // user writer with key, key 1

    const char* const sources[] = {"north", "south", "east", "west"};
    for (unsigned i = 1; i <= SAMPLE_COUNT; ++i) {
        DemoSample sample;
        sample.id = static_cast<int32_t>(i);
        sample.source = sources[i % 4];
        sample.value = 20.0 + i * 0.125;
        if (i == LARGE_SAMPLE) {
            sample.blob.assign(200000, static_cast<uint8_t>(i));
        }
        std::vector<uint8_t> packed = sample.pack();

        RTPS::SampleInfo info{};
        info.statusFlags = RTPS::SAMPLE_ALIVE;
        info.sourceTimestamp = vexa::dds::Time_t{static_cast<int32_t>(time(nullptr)), 0};
        info.data = packed.data();
        info.length = packed.size();
        RTPS::CacheChange change(writer, &info);
        RTPS::SequenceNumber_t sn{0, i};
        change.setSequenceNumber(sn);
        RTPS::ChangeForReader entry(&change, sn, RTPS::UNSENT);
        composer.sendData(socket, RTPS::_ENTITYID_UNKNOWN, &entry, 0, nullptr);
    }
    std::printf("publisher: %u samples composed and queued\n", SAMPLE_COUNT);

    timespec limit{static_cast<time_t>(DEADLINE.count()), 0};
    sigtimedwait(&term, nullptr, &limit);
    return 0;
}

int subscribe(const char* self) {
    const RTPS::Config config(0);
    SubscriberSide side(config.maxSampleSize());
    std::unique_ptr<RTPS::RTPSDataTransport> transport(RTPS::getTransport(&side));
    if (!transport || !transport->init()) {
        std::printf("subscriber: the transport did not start\n");
        return 1;
    }
    uint8_t prefix[12];
    makePrefix(prefix, 2);
    std::unique_ptr<RTPS::MessageReceiver> receiver(new RTPS::MessageReceiver(
        &side, transport.get(), prefix, static_cast<uint32_t>(config.checkIncomingPeriod()),
        config.maxSampleSize()));
    side.attach(receiver.get());
    RTPS::Locator_t local = loopback();
    try {
        receiver->addReceiver(local);
    } catch (const std::exception& e) {
        std::printf("subscriber: cannot listen on 127.0.0.1:%u: %s\n", DEMO_PORT, e.what());
        return 1;
    }
    if (!receiver->start()) {
        std::printf("subscriber: the parser thread did not start\n");
        return 1;
    }
    std::printf("subscriber: listening on 127.0.0.1:%u, starting the publisher\n", DEMO_PORT);

    const pid_t publisher = fork();
    if (publisher == 0) {
        execl(self, self, "publish", static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool all = publisher > 0 && side.waitForAll();
    if (publisher > 0) {
        kill(publisher, SIGTERM);
        waitpid(publisher, nullptr, 0);
    }
    // No datagram may reach the receiver while it goes away: the transport (and its report
    // thread) goes first.
    transport.reset();
    side.attach(nullptr);
    receiver.reset();
    std::printf(all ? "subscriber: all %u samples received\n"
                    : "subscriber: samples missing after the deadline (of %u)\n",
                SAMPLE_COUNT);
    return all ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // two processes share the terminal
    if (argc > 1 && std::strcmp(argv[1], "publish") == 0) {
        return publish();
    }
    return subscribe("/proc/self/exe");
}
