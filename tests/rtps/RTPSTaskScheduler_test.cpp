#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "ManualClock.h"
#include "fake/CallGate.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/sched/TaskGuidArgs.h"

using RTPS::RTPSTaskScheduler;
using RTPS::TaskFunctions;

namespace {

constexpr uint64_t MS = 1000;

// The object a test task works for: counts its runs and keeps the arguments of the last one.
struct Probe {
    std::atomic<int> runs{0};
    std::atomic<uintptr_t> lastA1{0};
    std::atomic<uint64_t> lastA2{0};
};

void countRun(void* object, void* a1, uint64_t a2, uint64_t) {
    auto* probe = static_cast<Probe*>(object);
    probe->lastA1 = reinterpret_cast<uintptr_t>(a1);
    probe->lastA2 = a2;
    ++probe->runs;
}

TaskFunctions countingFunctions() {
    TaskFunctions f;
    for (uint32_t type : {1u, 2u, 3u, 4u, 5u, 6u, 10u, 11u}) {
        f[type] = countRun;
    }
    return f;
}

// One-time latch for handshakes with the worker thread: a gate closed from the start.
class Latch {
public:
    Latch() { m_gate.close(); }
    void open() { m_gate.open(); }
    // Generous bound so that a broken scheduler fails the test instead of hanging it.
    bool wait() { return m_gate.pass(std::chrono::seconds(20)); }

private:
    vexatest::CallGate m_gate;
};

class SchedulerWithManualClock : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<ManualClock>();
        sched = std::make_unique<RTPSTaskScheduler>(countingFunctions(), clock);
    }
    uint32_t addPeriodic(Probe& p, uint64_t periodMs, bool runNow) {
        uint32_t id =
            sched->addTask(RTPS::TASK_WRITER_RELIABLE, &p, nullptr, 0, 0, periodMs * MS, runNow);
        clock->waitIdle();
        return id;
    }
    void advanceMs(uint64_t ms) {
        clock->advanceMs(ms);
        clock->waitIdle();
    }

    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<RTPSTaskScheduler> sched;
};

}  // namespace

TEST_F(SchedulerWithManualClock, IdsStartAtOneAndTheLowestFreeIdIsReused) {
    Probe p;
    EXPECT_EQ(addPeriodic(p, 1000, false), 1u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 2u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 3u);
    sched->removeTask(2u);
    sched->removeTask(1u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 1u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 2u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 4u);
}

TEST_F(SchedulerWithManualClock, GrowthKeepsIdsValid) {
    std::vector<Probe> probes(150);
    EXPECT_EQ(sched->capacity(), 64u);
    for (uint32_t i = 0; i < probes.size(); ++i) {
        ASSERT_EQ(
            sched->addTask(RTPS::TASK_WRITER_RELIABLE, &probes[i], nullptr, 0, 0, 1000 * MS, false),
            i + 1);
    }
    EXPECT_EQ(sched->capacity(), 216u);  // 64 -> 96 -> 144 -> 216
    clock->waitIdle();
    // Rows written before each growth still answer to their ids.
    for (uint32_t id : {1u, 63u, 64u, 96u, 150u}) {
        sched->wakeTask(id);
    }
    clock->waitIdle();
    for (uint32_t i = 0; i < probes.size(); ++i) {
        uint32_t id = i + 1;
        bool woken = id == 1 || id == 63 || id == 64 || id == 96 || id == 150;
        EXPECT_EQ(probes[i].runs, woken ? 1 : 0) << "id " << id;
    }
}

TEST_F(SchedulerWithManualClock, RunNowRunsAtOnceThenEveryPeriodOthersAfterOnePeriod) {
    Probe now, later;
    addPeriodic(now, 100, true);
    addPeriodic(later, 100, false);
    EXPECT_EQ(now.runs, 1);
    EXPECT_EQ(later.runs, 0);
    for (int period = 1; period <= 3; ++period) {
        advanceMs(100);
        EXPECT_EQ(now.runs, 1 + period);
        EXPECT_EQ(later.runs, period);
    }
}

TEST_F(SchedulerWithManualClock, TasksDueWithin25msRunTogether) {
    Probe p;
    addPeriodic(p, 1000, false);
    advanceMs(970);  // due in 30 ms: the worker sleeps on
    EXPECT_EQ(p.runs, 0);
    advanceMs(10);  // due in 20 ms: runs with this pass
    EXPECT_EQ(p.runs, 1);
}

TEST_F(SchedulerWithManualClock, OneShotRunsOnceAfterItsDelayAndFreesItsId) {
    Probe shot, other;
    uint32_t id = sched->addTask(RTPS::TASK_WRITER_DEFERRED, &shot, nullptr, 0, 0, 200 * MS, false);
    clock->waitIdle();
    advanceMs(100);
    EXPECT_EQ(shot.runs, 0);
    advanceMs(100);
    EXPECT_EQ(shot.runs, 1);
    advanceMs(1000);
    EXPECT_EQ(shot.runs, 1);
    EXPECT_EQ(addPeriodic(other, 1000, false), id);

    uint32_t zero = sched->addTask(RTPS::TASK_NACK_SUPPRESSION, &shot, nullptr, 0, 0, 0, false);
    clock->waitIdle();
    EXPECT_EQ(shot.runs, 2);
    EXPECT_EQ(addPeriodic(other, 1000, false), zero);
}

TEST_F(SchedulerWithManualClock, WakeRunsNowAndRestartsThePeriod) {
    Probe p;
    uint32_t id = addPeriodic(p, 1000, false);
    advanceMs(500);
    sched->wakeTask(id);
    clock->waitIdle();
    EXPECT_EQ(p.runs, 1);
    advanceMs(600);  // past the old due time, before the restarted one
    EXPECT_EQ(p.runs, 1);
    advanceMs(400);
    EXPECT_EQ(p.runs, 2);
}

TEST_F(SchedulerWithManualClock, ChangeTaskReplacesArgumentsAndPeriodOfUsedRowsOnly) {
    Probe p;
    int marker = 0;
    uint32_t id = addPeriodic(p, 100, false);
    sched->changeTask(id, &marker, 7, 300 * MS);
    advanceMs(100);  // the due time set before the change stays
    EXPECT_EQ(p.runs, 1);
    EXPECT_EQ(p.lastA1, reinterpret_cast<uintptr_t>(&marker));
    EXPECT_EQ(p.lastA2, 7u);
    advanceMs(200);
    EXPECT_EQ(p.runs, 1);
    advanceMs(100);
    EXPECT_EQ(p.runs, 2);

    sched->removeTask(id);
    sched->changeTask(id, nullptr, 9, 1 * MS);
    sched->wakeTask(id);
    advanceMs(1000);
    EXPECT_EQ(p.runs, 2);
    EXPECT_EQ(addPeriodic(p, 1000, false), id);  // the free row was left free
}

// runWithin brings a task's due time forward, exactly (a repair heartbeat must not run back to
// back inside the grouping window), never back; the period follows from the run it caused.
TEST_F(SchedulerWithManualClock, RunWithinBringsTheDueTimeForwardOnly) {
    struct Case {
        uint64_t withinMs;    // asked at t = 0, the task due at 1000 ms
        uint64_t firstRunMs;  // when it runs first (a due time of its own: within the window)
    };
    for (Case const c : {Case{5, 5}, Case{40, 40}, Case{960, 960}, Case{2000, 975}}) {
        SetUp();
        Probe p;
        uint32_t id = addPeriodic(p, 1000, false);
        sched->runWithin(id, c.withinMs * MS);
        clock->waitIdle();
        advanceMs(c.firstRunMs - 1);
        EXPECT_EQ(p.runs, 0) << "within " << c.withinMs;
        advanceMs(1);
        EXPECT_EQ(p.runs, 1) << "within " << c.withinMs;
        advanceMs(974);  // the next run is one period after the first
        EXPECT_EQ(p.runs, 1) << "within " << c.withinMs;
        advanceMs(1);
        EXPECT_EQ(p.runs, 2) << "within " << c.withinMs;
    }
}

// A task that asks from inside its own run is run again at that time, not at its period.
TEST(RTPSTaskScheduler, RunWithinFromTheTaskItselfSetsItsNextRun) {
    struct Self {
        RTPSTaskScheduler* sched = nullptr;
        std::atomic<uint32_t> id{0};
        std::atomic<int> runs{0};
    } self;
    TaskFunctions f;
    f[RTPS::TASK_WRITER_RELIABLE] = [](void* object, void*, uint64_t, uint64_t) {
        auto* s = static_cast<Self*>(object);
        if (++s->runs < 3) {
            s->sched->runWithin(s->id, 10 * MS);
        }
    };
    auto clock = std::make_shared<ManualClock>();
    RTPSTaskScheduler sched(f, clock);
    self.sched = &sched;
    self.id = sched.addTask(RTPS::TASK_WRITER_RELIABLE, &self, nullptr, 0, 0, 1000 * MS, false);
    clock->waitIdle();
    sched.wakeTask(self.id);
    clock->waitIdle();
    EXPECT_EQ(self.runs, 1);
    clock->advanceMs(9);
    clock->waitIdle();
    EXPECT_EQ(self.runs, 1);
    clock->advanceMs(1);
    clock->waitIdle();
    EXPECT_EQ(self.runs, 2);
    clock->advanceMs(10);
    clock->waitIdle();
    EXPECT_EQ(self.runs, 3);
    clock->advanceMs(974);  // no more asked: back to the period
    clock->waitIdle();
    EXPECT_EQ(self.runs, 3);
    clock->advanceMs(1);
    clock->waitIdle();
    EXPECT_EQ(self.runs, 4);
}

TEST_F(SchedulerWithManualClock, IdsOutOfRangeOrFreeAreIgnored) {
    Probe p;
    uint32_t id = addPeriodic(p, 100, false);
    for (uint32_t bad : {0u, 2u, 63u, 64u, 1000u, 0xFFFFFFFFu}) {
        sched->changeTask(bad, nullptr, 1, 1 * MS);
        sched->wakeTask(bad);
        sched->removeTask(bad);
    }
    clock->waitIdle();
    EXPECT_EQ(p.runs, 0);
    advanceMs(100);
    EXPECT_EQ(p.runs, 1);
    EXPECT_EQ(addPeriodic(p, 100, false), id + 1);
}

TEST_F(SchedulerWithManualClock, ZeroPeriodIsRaisedToOneMillisecond) {
    Probe p;
    addPeriodic(p, 0, true);
    EXPECT_EQ(p.runs, 1);  // a zero period would have kept the worker running it
    advanceMs(1);
    EXPECT_EQ(p.runs, 2);
}

TEST_F(SchedulerWithManualClock, TypesWithoutCallableAreRefused) {
    Probe p;
    EXPECT_EQ(sched->addTask(RTPS::TASK_FREE, &p, nullptr, 0, 0, MS, true), 0u);
    EXPECT_EQ(sched->addTask(static_cast<RTPS::RTPSTaskType>(7), &p, nullptr, 0, 0, MS, true), 0u);
    EXPECT_EQ(sched->addTask(static_cast<RTPS::RTPSTaskType>(12), &p, nullptr, 0, 0, MS, true), 0u);
    EXPECT_EQ(addPeriodic(p, 1000, false), 1u);
}

// A one-shot task that frees its own id, whose id is then taken by a new task: the worker must
// leave the new task alone after the old one returns. A new one-shot task would otherwise be
// removed before it ever ran.
TEST(RTPSTaskScheduler, ReusedIdIsNotRemovedAfterTheOldOneShotReturns) {
    struct Case {
        const char* name;
        RTPS::RTPSTaskType reuser;
    } const cases[] = {{"periodic", RTPS::TASK_WRITER_RELIABLE},
                       {"one-shot", RTPS::TASK_NACK_SUPPRESSION}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        auto clock = std::make_shared<ManualClock>();
        RTPSTaskScheduler* self = nullptr;
        Probe reusing;
        std::atomic<uint32_t> shotId{0}, newId{0};
        TaskFunctions f = countingFunctions();
        f[RTPS::TASK_WRITER_DEFERRED] = [&](void*, void*, uint64_t, uint64_t) {
            self->removeTask(shotId.load());
            newId = self->addTask(c.reuser, &reusing, nullptr, 0, 0, 100 * MS, false);
        };
        RTPSTaskScheduler sched(f, clock);
        self = &sched;
        Probe shot;
        shotId = sched.addTask(RTPS::TASK_WRITER_DEFERRED, &shot, nullptr, 0, 0, 100 * MS, false);
        clock->waitIdle();
        clock->advanceMs(100);
        clock->waitIdle();
        ASSERT_EQ(newId.load(), shotId.load());
        clock->advanceMs(100);
        clock->waitIdle();
        EXPECT_EQ(reusing.runs, 1);
    }
}

// Whether a thread of this process with that kernel id still runs.
static bool threadAlive(pid_t tid) {
    struct stat st;
    return stat(("/proc/self/task/" + std::to_string(tid)).c_str(), &st) == 0;
}

// An owner that goes away from its own timer destroys the scheduler inside a task. The worker
// is inside that task and cannot be joined: it must end by itself without touching the freed
// scheduler. The scheduler lives in a buffer that the task overwrites once it is destroyed, so a
// worker that still reads its mutex or rows meets garbage.
TEST(RTPSTaskScheduler, DestroyedFromItsOwnTaskEndsItsWorkerWithoutTouchingIt) {
    LogCapture log;
    const std::string refused = "Планировщик задач удалён из своей же задачи";
    const size_t before = LogCapture::count(refused);
    std::atomic<pid_t> worker{0};

    alignas(RTPSTaskScheduler) static unsigned char storage[sizeof(RTPSTaskScheduler)];
    RTPSTaskScheduler* sched = nullptr;
    Latch added;
    Latch destroyed;
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_WRITER_DEFERRED] = [&](void*, void*, uint64_t, uint64_t) {
        worker = static_cast<pid_t>(syscall(SYS_gettid));
        // Not while the owner is still inside addTask: nothing may be destroyed while another
        // thread uses it (addTask wakes the worker after unlocking).
        ASSERT_TRUE(added.wait());
        sched->~RTPSTaskScheduler();
        std::memset(storage, 0xA5, sizeof storage);
        destroyed.open();
    };
    sched = new (storage) RTPSTaskScheduler(f);
    Probe owner;
    sched->addTask(RTPS::TASK_WRITER_DEFERRED, &owner, nullptr, 0, 0, 0, true);
    added.open();
    ASSERT_TRUE(destroyed.wait());

    // Nothing signals the end of a detached thread: look until it is gone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (threadAlive(worker) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(threadAlive(worker)) << "the worker did not end";
    EXPECT_EQ(LogCapture::count(refused), before + 1);
}

TEST(RTPSTaskScheduler, ThrowingTaskDoesNotStopTheWorkerAndIsLogged) {
    LogCapture log;
    const std::string failed = "Задача типа 2 (номер 1) завершилась исключением: task failed";
    const size_t before = LogCapture::count(failed);
    auto clock = std::make_shared<ManualClock>();
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_SPDP_BEST_EFFORT] = [](void*, void*, uint64_t, uint64_t) {
        throw std::runtime_error("task failed");
    };
    RTPSTaskScheduler sched(f, clock);
    Probe p, q;
    sched.addTask(RTPS::TASK_SPDP_BEST_EFFORT, &p, nullptr, 0, 0, 100 * MS, true);
    sched.addTask(RTPS::TASK_WRITER_RELIABLE, &q, nullptr, 0, 0, 100 * MS, true);
    clock->waitIdle();
    clock->advanceMs(100);
    clock->waitIdle();
    EXPECT_EQ(q.runs, 2);
    EXPECT_EQ(LogCapture::count(failed), before + 2);
}

// A task takes lock L while another thread holds L and calls into the scheduler: with tasks run
// under the scheduler's own mutex this deadlocked.
TEST(RTPSTaskScheduler, TaskTakingALockHeldByACallerOfAddTaskFinishes) {
    std::mutex L;
    Latch entered, finished;
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_WRITER_RELIABLE] = [&](void*, void*, uint64_t, uint64_t) {
        entered.open();
        std::lock_guard<std::mutex> g(L);
        finished.open();
    };
    RTPSTaskScheduler sched(f);  // the monotonic clock
    Probe other;
    {
        std::lock_guard<std::mutex> g(L);
        uint32_t id = sched.addTask(RTPS::TASK_WRITER_RELIABLE, &other, nullptr, 0, 0,
                                    3600 * 1000 * MS, true);
        ASSERT_TRUE(entered.wait());
        // The worker is inside the task, blocked on L.
        uint32_t second = sched.addTask(RTPS::TASK_WRITER_DEFERRED, &other, nullptr, 0, 0,
                                        3600 * 1000 * MS, false);
        EXPECT_NE(second, 0u);
        sched.changeTask(id, nullptr, 1, 3600 * 1000 * MS);
        sched.wakeTask(second);
        sched.removeTask(second);
    }
    EXPECT_TRUE(finished.wait());
}

TEST(RTPSTaskScheduler, RemoveTaskOfObjectWaitsForItsRunningTask) {
    Latch entered, release, removed;
    std::atomic<bool> taskReturned{false};
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_WRITER_RELIABLE] = [&](void*, void*, uint64_t, uint64_t) {
        entered.open();
        release.wait();
        taskReturned = true;
    };
    RTPSTaskScheduler sched(f);
    Probe endpoint;
    sched.addTask(RTPS::TASK_WRITER_RELIABLE, &endpoint, nullptr, 0, 0, 3600 * 1000 * MS, true);
    ASSERT_TRUE(entered.wait());

    std::atomic<bool> returnedAfterTask{false};
    std::thread remover([&] {
        sched.removeTask(static_cast<void*>(&endpoint));
        returnedAfterTask = taskReturned.load();
        removed.open();
    });
    // Nothing signals that the remover has gone to sleep inside removeTask; give it the time to
    // get there, or to return early if it does not wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release.open();
    // It waits for the task, and no longer than that.
    EXPECT_TRUE(removed.wait()) << "removeTask did not return after the task ended";
    remover.join();
    EXPECT_TRUE(returnedAfterTask);
}

TEST(RTPSTaskScheduler, TaskRemovingItsOwnObjectDoesNotWaitForItself) {
    auto clock = std::make_shared<ManualClock>();
    RTPSTaskScheduler* self = nullptr;
    Latch removed;
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_WRITER_RELIABLE] = [&](void* object, void*, uint64_t, uint64_t) {
        countRun(object, nullptr, 0, 0);
        self->removeTask(object);
        removed.open();
    };
    RTPSTaskScheduler sched(f, clock);
    self = &sched;
    Probe p;
    sched.addTask(RTPS::TASK_WRITER_RELIABLE, &p, nullptr, 0, 0, 100 * MS, true);
    // Waiting for itself would never end.
    ASSERT_TRUE(removed.wait()) << "removeTask from the task waited for that task";
    clock->waitIdle();
    clock->advanceMs(1000);
    clock->waitIdle();
    EXPECT_EQ(p.runs, 1);
}

TEST(RTPSTaskScheduler, StopEndsTheWorkerAndIsIdempotent) {
    auto clock = std::make_shared<ManualClock>();
    RTPSTaskScheduler sched(countingFunctions(), clock);
    Probe p;
    uint32_t id = sched.addTask(RTPS::TASK_WRITER_RELIABLE, &p, nullptr, 0, 0, 100 * MS, true);
    clock->waitIdle();
    sched.stop();
    sched.stop();
    sched.wakeTask(id);
    clock->advanceMs(1000);
    EXPECT_EQ(p.runs, 1);
}

// The real clock, counting how often the worker goes to sleep.
class CountingClock : public RTPS::MonotonicSchedulerClock {
public:
    void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint64_t deadline,
              std::function<bool()> const& woken) override {
        ++waits;
        MonotonicSchedulerClock::wait(cv, lock, deadline, woken);
    }
    std::atomic<int> waits{0};
};

// A due time centuries ahead must put the worker to sleep: a wait that long overflows the
// condition variable's clock arithmetic and returns at once, so the worker spun.
TEST(RTPSTaskScheduler, FarDueTimeLetsTheWorkerSleep) {
    for (uint64_t period : {~uint64_t{0}, uint64_t{1} << 62}) {
        auto clock = std::make_shared<CountingClock>();
        RTPSTaskScheduler sched(countingFunctions(), clock);
        Probe p;
        sched.addTask(RTPS::TASK_WRITER_RELIABLE, &p, nullptr, 0, 0, period, false);
        // No waker exists for "nothing happens": give a spinning worker time to show itself.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_LT(clock->waits.load(), 10) << period;
        EXPECT_EQ(p.runs, 0) << period;
    }
}

// A task for a remote endpoint gets its GUID back whole from the two integer arguments.
TEST(RTPSTaskScheduler, RemoteGuidTravelsInTheIntegerArguments) {
    auto clock = std::make_shared<ManualClock>();
    std::mutex m;
    RTPS::GUID_t seen{};
    TaskFunctions f = countingFunctions();
    f[RTPS::TASK_READER_DEFERRED] = [&](void*, void*, uint64_t a2, uint64_t a3) {
        std::lock_guard<std::mutex> g(m);
        seen = RTPS::taskArgsToGuid(a2, a3);
    };
    RTPSTaskScheduler sched(f, clock);
    RTPS::GUID_t remote{};
    for (unsigned i = 0; i < RTPS::GUID_PREFIX_SIZE; ++i) {
        remote.guidPrefix[i] = static_cast<uint8_t>(0xA0 + i);
    }
    remote.entityId = {{0x01, 0x02, 0x03}, 0xC7};
    RTPS::TaskGuidArgs args = RTPS::guidToTaskArgs(remote);
    Probe reader;
    sched.addTask(RTPS::TASK_READER_DEFERRED, &reader, nullptr, args.a2, args.a3, 0, false);
    clock->waitIdle();
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(seen, remote);
}
