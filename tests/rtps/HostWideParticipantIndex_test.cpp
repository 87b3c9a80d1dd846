#include "rtps/participant/HostWideParticipantIndex.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "LoggedLines.h"
#include "common/os/Os.h"

namespace {

// Each test counts with an object of its own, so the host's real counter is never touched.
class HostWideIndex : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name = std::string("VexaTestIndex_") + std::to_string(getpid()) + "_" + info->name();
        removeObject();
    }
    void TearDown() override { removeObject(); }

    void removeObject() {
        shm_unlink(("/" + name + "_SHM").c_str());
        sem_unlink(("/" + name + "_SEM").c_str());
    }

    // The counter byte as another process sees it; -1 when the object cannot be mapped.
    int counter() { return access(-1); }
    void setCounter(uint8_t value) { ASSERT_EQ(access(value), value); }

    int access(int write) {
        vexa::SHMOBJECT_HANDLE h = vexa::OsCreateSharedMemoryObject(name.c_str(), 1);
        if (h.sem == nullptr) {
            return -1;
        }
        void* p = vexa::OsMapSharedMemoryObject(h, 1);
        int value = -1;
        if (p != MAP_FAILED) {
            if (write >= 0) {
                *static_cast<uint8_t*>(p) = static_cast<uint8_t>(write);
            }
            value = *static_cast<uint8_t*>(p);
            vexa::OsUnmapSharedMemoryObject(p, 1);
        }
        vexa::OsCloseSharedMemoryObject(h);
        return value;
    }

    uint8_t take() { return RTPS::takeHostWideParticipantIndex(name.c_str()); }

    std::string name;
};

}  // namespace

TEST_F(HostWideIndex, FreshObjectGivesZeroAndLeavesOne) {
    EXPECT_EQ(take(), 0);
    EXPECT_EQ(counter(), 1);
    EXPECT_EQ(take(), 1);
    EXPECT_EQ(counter(), 2);
}

TEST_F(HostWideIndex, CountsThroughAllIndicesAndWraps) {
    for (int expected = 0; expected < 120; ++expected) {
        ASSERT_EQ(take(), expected);
    }
    EXPECT_EQ(counter(), 0);
    EXPECT_EQ(take(), 0);
}

TEST_F(HostWideIndex, CounterValueDecidesIndex) {
    struct Case {
        uint8_t stored;
        uint8_t index;
        uint8_t after;
    };
    const Case cases[] = {
        {0, 0, 1},
        {57, 57, 58},
        {118, 118, 119},
        {119, 119, 0},
        // A damaged counter restarts the sequence instead of giving ports past the range.
        {120, 0, 1},
        {255, 0, 1},
    };
    for (const Case& c : cases) {
        setCounter(c.stored);
        EXPECT_EQ(take(), c.index) << int(c.stored);
        EXPECT_EQ(counter(), c.after) << int(c.stored);
    }
}

// Processes that start together, some of them racing to create the object, never share an
// index.
TEST_F(HostWideIndex, ConcurrentProcessesGetDistinctIndices) {
    constexpr int kProcesses = 8;
    constexpr int kTakesEach = 10;
    int go[2];
    int results[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(results), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            char byte;
            // Everyone waits here until the parent closes the pipe.
            (void)!read(go[0], &byte, 1);
            uint8_t taken[kTakesEach];
            for (uint8_t& t : taken) {
                t = take();
            }
            const bool ok = write(results[1], taken, sizeof taken) == sizeof taken;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    close(go[0]);
    close(results[1]);
    close(go[1]);

    std::vector<uint8_t> all;
    uint8_t chunk[256];
    ssize_t n;
    while ((n = read(results[0], chunk, sizeof chunk)) > 0) {
        all.insert(all.end(), chunk, chunk + n);
    }
    close(results[0]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(all.size(), size_t(kProcesses * kTakesEach));
    const std::set<uint8_t> distinct(all.begin(), all.end());
    EXPECT_EQ(distinct.size(), all.size());
    EXPECT_EQ(*distinct.begin(), 0);
    EXPECT_EQ(*distinct.rbegin(), kProcesses * kTakesEach - 1);
    EXPECT_EQ(counter(), kProcesses * kTakesEach);
}

// A process that died holding the lock must not stop later participants: the index is taken
// after the bounded wait, and the lock works again afterwards.
TEST_F(HostWideIndex, LockLeftHeldDoesNotHang) {
    ASSERT_TRUE(loadEngineTexts());
    const int warnings = loggedLines(name);
    EXPECT_EQ(take(), 0);
    EXPECT_EQ(loggedLines(name), warnings);
    sem_t* sem = sem_open(("/" + name + "_SEM").c_str(), 0);
    ASSERT_NE(sem, SEM_FAILED);
    ASSERT_EQ(sem_trywait(sem), 0);  // held, and never given back by its holder

    EXPECT_EQ(take(), 1);
    EXPECT_EQ(loggedLines(name), warnings + 1);
    int value = -1;
    ASSERT_EQ(sem_getvalue(sem, &value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(take(), 2);
    EXPECT_EQ(loggedLines(name), warnings + 1);
    sem_close(sem);
}

TEST_F(HostWideIndex, ObjectThatCannotBeMadeGivesZero) {
    // A name with a slash inside is no valid object name.
    EXPECT_EQ(RTPS::takeHostWideParticipantIndex("no/such/object"), 0);
    EXPECT_EQ(RTPS::takeHostWideParticipantIndex("no/such/object"), 0);
}
