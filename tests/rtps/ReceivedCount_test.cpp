#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "rtps/reader/WriterProxy.h"
#include "rtps/writer/ReaderProxy.h"

using namespace RTPS;

namespace {

struct Step {
    uint32_t count;
    bool taken;
};

struct Case {
    char const* rule;
    std::vector<Step> steps;
};

// Counts are compared as serial numbers: the streams keep working after 0xFFFFFFFF.
const Case kCases[] = {
    {"the first count is taken whatever its value", {{0xFFFFFFF0u, true}}},
    {"a first count of zero is taken", {{0, true}, {0, false}, {1, true}}},
    {"counts go on across the wrap",
     {{0xFFFFFFFEu, true}, {0xFFFFFFFFu, true}, {0, true}, {1, true}, {2, true}}},
    {"a repeated count after the wrap is stale", {{0xFFFFFFFFu, true}, {0, true}, {0, false}}},
    {"a count from before the wrap is stale after it",
     {{0xFFFFFFFFu, true}, {3, true}, {0xFFFFFFFFu, false}, {0xFFFFFF00u, false}, {4, true}}},
    {"a jump of less than half the space is newer", {{1, true}, {0x80000000u, true}}},
    {"a jump of exactly half the space is not", {{1, true}, {0x80000001u, false}, {2, true}}},
    {"an older count below the wrap is stale", {{10, true}, {9, false}, {10, false}, {11, true}}},
};

GUID_t someGuid() {
    GUID_t g{};
    g.guidPrefix[0] = 0x5A;
    g.entityId = EntityId_t{{0, 0, 1}, 0x07};
    return g;
}

// Each stream that takes counts, driven through its real owner.
using Taker = std::function<bool(uint32_t)>;

void runTable(char const* stream, std::function<Taker()> const& makeTaker) {
    for (Case const& c : kCases) {
        Taker take = makeTaker();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(take(c.steps[i].count), c.steps[i].taken)
                << stream << ": " << c.rule << ", step " << i << " (count 0x" << std::hex
                << c.steps[i].count << ")";
        }
    }
}

}  // namespace

TEST(ReceivedCount, HeartbeatCountsOfAWriterProxyWrap) {
    std::vector<std::unique_ptr<WriterProxy>> proxies;
    runTable("HEARTBEAT", [&] {
        proxies.emplace_back(new WriterProxy(nullptr, someGuid(), nullptr));
        WriterProxy* p = proxies.back().get();
        return [p](uint32_t count) {
            HeartbeatData hb;
            hb.firstSN = SequenceNumber_t{0, 1};
            hb.lastSN = SequenceNumber_t{0, 0};
            hb.count = count;
            hb.finalFlag = true;
            return p->heartbeat(hb) == WriterProxy::HeartbeatVerdict::Taken;
        };
    });
}

TEST(ReceivedCount, AckNackAndNackFragCountsOfAReaderProxyWrap) {
    std::vector<std::unique_ptr<ReaderProxy>> proxies;
    runTable("ACKNACK", [&] {
        proxies.emplace_back(new ReaderProxy(nullptr, someGuid(), nullptr, false));
        ReaderProxy* p = proxies.back().get();
        return [p](uint32_t count) { return p->acceptAckNackCount(count); };
    });
    runTable("NACK_FRAG", [&] {
        proxies.emplace_back(new ReaderProxy(nullptr, someGuid(), nullptr, false));
        ReaderProxy* p = proxies.back().get();
        return [p](uint32_t count) { return p->acceptNackFragCount(count); };
    });
}
