#pragma once

#include <pthread.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "rtps/sched/RTPSTaskType.h"
#include "rtps/sched/SchedulerClock.h"

namespace RTPS {

// What the worker calls for a task: its object and the three arguments given to addTask.
using TaskFunction = std::function<void(void* object, void* a1, uint64_t a2, uint64_t a3)>;
// One callable per task type, indexed by the type number; types without one cannot be added.
using TaskFunctions = std::array<TaskFunction, MAX_TASK_TYPE + 1>;

// Runs a participant's timed protocol work on one worker thread. A task is a row of a table
// addressed by its id (1 and up; the lowest free id is taken first). Tasks due within 25 ms of
// each other run in one pass; a periodic task's next run is one period after the start of its
// last run.
//
// Tasks run with the scheduler's mutex released, so that mutex is a leaf: callers may hold
// their own locks around addTask, changeTask, wakeTask and removeTask(id). removeTask(object)
// waits for a running task of that object, so its caller must not hold a lock that task takes.
//
// A task may destroy the scheduler (an owner going away from its own timer): the destruction
// then cannot wait for the worker, which is still inside that task, so it is logged, the
// worker thread is left to end by itself and touches nothing of the scheduler once the task
// returns. The task's callable stays alive until then.
class RTPSTaskScheduler {
public:
    static constexpr uint32_t INITIAL_CAPACITY = 64;
    // Tasks due this close to now run together with the ones that are due.
    static constexpr uint64_t GROUPING_WINDOW_MKS = 25000;
    static constexpr uint64_t MIN_PERIOD_MKS = 1000;

    // Starts the worker at once. A null clock means the monotonic clock. Throws
    // GENERAL_DDSI_ERROR when the thread cannot be started.
    explicit RTPSTaskScheduler(TaskFunctions functions,
                               std::shared_ptr<SchedulerClock> clock = nullptr);
    // Stops and joins the worker; from a task, see above.
    ~RTPSTaskScheduler();

    RTPSTaskScheduler(RTPSTaskScheduler const&) = delete;
    RTPSTaskScheduler& operator=(RTPSTaskScheduler const&) = delete;

    // periodMks is the interval of a periodic task (at least 1 ms) or the delay of a one-shot
    // task. With runNow the task runs on the next pass, else one period from now. Returns the
    // task id, or 0 for a type without a callable.
    uint32_t addTask(RTPSTaskType type, void* object, void* a1, uint64_t a2, uint64_t a3,
                     uint64_t periodMks, bool runNow);

    // Replaces the arguments and the period of a used row; the current due time stays.
    void changeTask(uint32_t id, void* a1, uint64_t a2, uint64_t periodMks);

    // Frees the row; a run in progress finishes but is not repeated. Does not wait.
    void removeTask(uint32_t id);

    // Frees every row of the object; from any thread but the worker, returns only when no task
    // of the object is running any more.
    void removeTask(void* object);

    // Runs the task on the next pass; a periodic task's period restarts from that run.
    void wakeTask(uint32_t id);

    // Runs the task no later than delayMks from now, outside the grouping window (an earlier
    // due time stays). Called from the task itself it sets the due time of its next run.
    void runWithin(uint32_t id, uint64_t delayMks);

    // Ends the worker after the task it runs; idempotent. From a task it only asks the worker
    // to end (the destructor joins it).
    void stop();

    uint32_t capacity() const;
    // The clock the tasks are timed by; endpoints time their own deadlines by it too.
    SchedulerClock& clock() const { return *m_clock; }

private:
    static constexpr uint64_t NO_TIME = ~uint64_t{0};

    struct Row {
        uint32_t type = TASK_FREE;
        void* object = nullptr;
        void* a1 = nullptr;
        uint64_t a2 = 0;
        uint64_t a3 = 0;
        uint64_t period = 0;
        uint64_t due = NO_TIME;
        bool runNow = false;
        // Set by runWithin: the due time is meant as it is, without the grouping window.
        bool exact = false;
        // The earliest time asked by runWithin since the task last started.
        uint64_t within = NO_TIME;
        uint64_t generation = 0;
    };

    // What the worker holds on to while it runs, so that a task may destroy the scheduler.
    struct WorkerKeep {
        explicit WorkerKeep(TaskFunctions f) : functions(std::move(f)) {}
        const TaskFunctions functions;
        std::atomic<bool> schedulerGone{false};  // set by a destructor run inside a task
    };

    static void workerEntry(void* self);
    void run();
    bool isDue(Row const& row, uint64_t now) const;
    // False when the task destroyed the scheduler: the caller must not touch it any more.
    bool runRow(uint32_t id, std::unique_lock<std::mutex>& lock, WorkerKeep const& keep);
    void freeRow(uint32_t id);
    void grow();
    bool validUsedId(uint32_t id) const;

    const std::shared_ptr<WorkerKeep> m_keep;
    const std::shared_ptr<SchedulerClock> m_clock;

    // Guards everything below; never held while a task runs or while calling out.
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeCv;  // worker waits: a wake is pending or it must end
    std::condition_variable m_doneCv;  // removeTask(object) waits: the running task returned

    std::vector<Row> m_rows;
    uint32_t m_lowest = 0;   // lowest used id, 0 when empty
    uint32_t m_highest = 0;  // highest used id, 0 when empty
    uint32_t m_hint = 1;     // lowest free id
    uint64_t m_nextGeneration = 0;
    uint64_t m_earliest = NO_TIME;  // the due time the worker sleeps towards
    bool m_wakePending = false;
    std::atomic<bool> m_running{false};
    std::vector<uint32_t> m_batch;

    // The task the worker runs right now.
    bool m_busy = false;
    void* m_busyObject = nullptr;
    uint32_t m_busyId = 0;
    std::thread::id m_workerId;

    pthread_t m_thread = 0;
    std::atomic<bool> m_joinable{false};
};

}  // namespace RTPS
