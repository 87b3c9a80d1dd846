#include "rtps/sched/RTPSTaskScheduler.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/participant/DDSIException.h"

namespace RTPS {

namespace {

void logTaskFailure(uint32_t type, uint32_t id, char const* what) {
    vexalog::Logger::getLogger().logMessage("RTPSTaskScheduler::run", vexalog::Logger::SEV_ERROR,
                                            vexares::RTPS_MSG_TASK_FAILED, type, id, what);
}

}  // namespace

RTPSTaskScheduler::RTPSTaskScheduler(TaskFunctions functions, std::shared_ptr<SchedulerClock> clock)
    : m_keep(std::make_shared<WorkerKeep>(std::move(functions))),
      m_clock(clock ? std::move(clock) : std::make_shared<MonotonicSchedulerClock>()),
      m_rows(INITIAL_CAPACITY) {
    m_batch.reserve(INITIAL_CAPACITY);
    m_running = true;
    char err[256] = {};
    m_thread = vexa::OsStartNewThread(&RTPSTaskScheduler::workerEntry, this, 1, 0, err, sizeof err);
    if (m_thread == 0) {
        m_running = false;
        throw GENERAL_DDSI_ERROR(
            (std::string("Не удалось запустить поток планировщика задач: ") + err).c_str());
    }
    m_joinable = true;
}

RTPSTaskScheduler::~RTPSTaskScheduler() {
    bool fromTask;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fromTask = std::this_thread::get_id() == m_workerId;
    }
    if (!fromTask) {
        stop();
        return;
    }
    // The worker is inside the task that destroys this object and cannot be joined from here:
    // it learns that the scheduler is gone when the task returns, and ends by itself.
    vexalog::Logger::getLogger().logMessage("RTPSTaskScheduler::~RTPSTaskScheduler",
                                            vexalog::Logger::SEV_WARNING,
                                            vexares::RTPS_MSG_SCHEDULER_DESTROYED_BY_TASK);
    m_keep->schedulerGone = true;
    stop();
    if (m_joinable.exchange(false)) {
        pthread_detach(m_thread);
    }
}

void RTPSTaskScheduler::workerEntry(void* self) {
    static_cast<RTPSTaskScheduler*>(self)->run();
}

uint32_t RTPSTaskScheduler::capacity() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<uint32_t>(m_rows.size());
}

bool RTPSTaskScheduler::validUsedId(uint32_t id) const {
    return id != 0 && id < m_rows.size() && m_rows[id].type != TASK_FREE;
}

uint32_t RTPSTaskScheduler::addTask(RTPSTaskType type, void* object, void* a1, uint64_t a2,
                                    uint64_t a3, uint64_t periodMks, bool runNow) {
    if (type == TASK_FREE || type > MAX_TASK_TYPE || !m_keep->functions[type]) {
        return 0;
    }
    const bool oneShot = isOneShotTask(type);
    const uint64_t period = oneShot ? periodMks : std::max(periodMks, MIN_PERIOD_MKS);
    const uint64_t now = m_clock->nowMks();

    std::unique_lock<std::mutex> lock(m_mutex);
    const uint32_t id = m_hint;
    if (m_lowest == 0 || id < m_lowest) {
        m_lowest = id;
    }
    if (id > m_highest) {
        m_highest = id;
    }
    Row& row = m_rows[id];
    row.type = type;
    row.object = object;
    row.a1 = a1;
    row.a2 = a2;
    row.a3 = a3;
    row.period = period;
    row.runNow = runNow;
    row.due = runNow ? NO_TIME : (period > NO_TIME - 1 - now ? NO_TIME - 1 : now + period);
    row.generation = ++m_nextGeneration;
    const bool wake = runNow || row.due < m_earliest;

    uint32_t next = id + 1;
    while (next < m_rows.size() && m_rows[next].type != TASK_FREE) {
        ++next;
    }
    if (next >= m_rows.size()) {
        grow();  // invalidates `row`
    }
    m_hint = next;

    if (wake) {
        m_wakePending = true;
    }
    lock.unlock();
    if (wake) {
        m_wakeCv.notify_one();
    }
    return id;
}

void RTPSTaskScheduler::grow() {
    const size_t size = m_rows.size();
    m_rows.resize(size + size / 2);
}

void RTPSTaskScheduler::changeTask(uint32_t id, void* a1, uint64_t a2, uint64_t periodMks) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!validUsedId(id)) {
        return;
    }
    Row& row = m_rows[id];
    row.a1 = a1;
    row.a2 = a2;
    row.period = isOneShotTask(row.type) ? periodMks : std::max(periodMks, MIN_PERIOD_MKS);
}

void RTPSTaskScheduler::freeRow(uint32_t id) {
    m_rows[id] = Row{};
    if (id == m_lowest) {
        if (id == m_highest) {
            m_lowest = 0;
            m_highest = 0;
            m_hint = 1;
        } else {
            uint32_t up = id + 1;
            while (m_rows[up].type == TASK_FREE) {
                ++up;
            }
            m_lowest = up;
        }
    } else if (id == m_highest) {
        uint32_t down = id - 1;
        while (m_rows[down].type == TASK_FREE) {
            --down;
        }
        m_highest = down;
    }
    if (id < m_hint) {
        m_hint = id;
    }
}

void RTPSTaskScheduler::removeTask(uint32_t id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (validUsedId(id)) {
        freeRow(id);
    }
}

void RTPSTaskScheduler::removeTask(void* object) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint32_t highest = m_highest;
    for (uint32_t id = m_lowest; id != 0 && id <= highest; ++id) {
        if (m_rows[id].type != TASK_FREE && m_rows[id].object == object) {
            freeRow(id);
        }
    }
    if (std::this_thread::get_id() != m_workerId) {
        m_doneCv.wait(lock, [&] { return !(m_busy && m_busyObject == object); });
    }
}

void RTPSTaskScheduler::wakeTask(uint32_t id) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!validUsedId(id) || m_rows[id].runNow) {
            return;  // a wake already pending covers this one
        }
        m_rows[id].runNow = true;
        m_wakePending = true;
    }
    // After the unlock: the worker does not wake only to wait for this mutex.
    m_wakeCv.notify_one();
}

void RTPSTaskScheduler::runWithin(uint32_t id, uint64_t delayMks) {
    const uint64_t now = m_clock->nowMks();
    const uint64_t at = delayMks > NO_TIME - 1 - now ? NO_TIME - 1 : now + delayMks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!validUsedId(id)) {
            return;
        }
        Row& row = m_rows[id];
        row.within = std::min(row.within, at);
        // The running task's next due time is set when it returns.
        if (m_busy && m_busyId == id) {
            return;
        }
        if (at >= row.due) {
            return;
        }
        row.due = at;
        row.exact = true;
        if (at >= m_earliest) {
            return;
        }
        m_wakePending = true;
    }
    m_wakeCv.notify_one();
}

void RTPSTaskScheduler::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
        m_wakePending = true;
        m_wakeCv.notify_all();
        if (std::this_thread::get_id() == m_workerId) {
            return;
        }
    }
    if (m_joinable.exchange(false)) {
        vexa::OsWaitThreadTermination(m_thread);
    }
}

bool RTPSTaskScheduler::isDue(Row const& row, uint64_t now) const {
    if (row.runNow) {
        return true;
    }
    if (row.due == NO_TIME) {
        return false;
    }
    if (row.due <= now) {
        return true;
    }
    if (row.exact) {
        return false;
    }
    // A short period would otherwise run back to back inside the window.
    const uint64_t window = isOneShotTask(row.type) ? GROUPING_WINDOW_MKS
                                                    : std::min(GROUPING_WINDOW_MKS, row.period / 2);
    return row.due - now <= window;
}

bool RTPSTaskScheduler::runRow(uint32_t id, std::unique_lock<std::mutex>& lock,
                               WorkerKeep const& keep) {
    if (id >= m_rows.size() || m_rows[id].type == TASK_FREE) {
        return true;  // removed by an earlier task of this pass
    }
    Row& row = m_rows[id];
    if (!isDue(row, m_clock->nowMks())) {
        return true;
    }
    row.runNow = false;
    row.exact = false;
    row.within = NO_TIME;
    const Row task = row;
    m_busy = true;
    m_busyObject = task.object;
    m_busyId = id;

    lock.unlock();
    const uint64_t start = m_clock->nowMks();
    // A failing task must not end the protocol timing of the whole participant.
    try {
        keep.functions[task.type](task.object, task.a1, task.a2, task.a3);
    } catch (std::exception const& e) {
        logTaskFailure(task.type, id, e.what());
    } catch (...) {
        logTaskFailure(task.type, id, "?");
    }
    if (keep.schedulerGone) {
        return false;
    }
    lock.lock();

    m_busy = false;
    m_busyObject = nullptr;
    m_busyId = 0;
    m_doneCv.notify_all();
    if (id >= m_rows.size()) {
        return true;
    }
    Row& after = m_rows[id];
    if (after.type == TASK_FREE || after.generation != task.generation) {
        return true;  // removed, or removed and the id reused, while it ran
    }
    if (isOneShotTask(after.type)) {
        freeRow(id);
    } else {
        after.due = after.period > NO_TIME - 1 - start ? NO_TIME - 1 : start + after.period;
        // Asked by runWithin while it ran (or by itself).
        after.exact = after.within < after.due;
        after.due = std::min(after.due, after.within);
    }
    return true;
}

void RTPSTaskScheduler::run() {
    // Keeps the callables alive while a task runs, whatever that task does to the scheduler.
    const std::shared_ptr<WorkerKeep> keep = m_keep;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_workerId = std::this_thread::get_id();
    while (m_running) {
        m_wakePending = false;
        const uint64_t now = m_clock->nowMks();
        m_batch.clear();
        for (uint32_t id = m_lowest; id != 0 && id <= m_highest; ++id) {
            if (m_rows[id].type != TASK_FREE && isDue(m_rows[id], now)) {
                m_batch.push_back(id);
            }
        }
        if (!m_batch.empty()) {
            for (size_t i = 0; i < m_batch.size() && m_running; ++i) {
                if (!runRow(m_batch[i], lock, *keep)) {
                    return;  // destroyed by that task; `lock` owns nothing
                }
            }
            continue;
        }
        uint64_t earliest = NO_TIME;
        for (uint32_t id = m_lowest; id != 0 && id <= m_highest; ++id) {
            if (m_rows[id].type != TASK_FREE) {
                earliest = std::min(earliest, m_rows[id].due);
            }
        }
        m_earliest = earliest;
        m_clock->wait(m_wakeCv, lock, earliest == NO_TIME ? SchedulerClock::NO_DEADLINE : earliest,
                      [this] { return m_wakePending || !m_running; });
        m_earliest = NO_TIME;
    }
    m_workerId = std::thread::id();
}

}  // namespace RTPS
