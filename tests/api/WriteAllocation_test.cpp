// The typed write adds no allocation of its own: a write through dds::pub::DataWriter<T>
// allocates exactly what a write through the bridge does. Every operator new of this binary
// counts on the calling thread. The sanitizers own operator new, so their builds leave this
// check to the plain one.

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "vexa/DataWriterImpl.h"

namespace {
thread_local long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using apitest::Keyed;

TEST(TypedWrite, addsNoAllocationToTheBridgesWrite) {
    // Engine writers of this participant only count their changes.
    vexatest::FakeEngine::instance().setCheapWriters(true);
    dds::domain::DomainParticipant dp(apitest::DOMAIN);
    vexatest::FakeEngine::instance().setCheapWriters(false);
    dds::topic::Topic<Keyed> topic(dp, "WriteAllocation");
    dds::pub::Publisher pub(dp);
    dds::pub::DataWriter<Keyed> writer(pub, topic);
    vexa::dcps::api::DataWriterImpl* bridge = writer->bridge();
    Keyed s;
    s.key = 1;
    constexpr int N = 200;
    for (int i = 0; i < N; ++i) {  // the instance and the history settle
        s.value = i;
        writer.write(s);
    }
    long before = allocations;
    for (int i = 0; i < N; ++i) {
        s.value = i;
        ASSERT_EQ(bridge->write(&s, vexa::dds::HANDLE_NIL), vexa::dds::RETCODE_OK);
    }
    long const viaBridge = allocations - before;
    before = allocations;
    for (int i = 0; i < N; ++i) {
        s.value = i;
        writer.write(s);
    }
    long const viaApi = allocations - before;
    EXPECT_EQ(viaApi, viaBridge);
}

}  // namespace

#endif
