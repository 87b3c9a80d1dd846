// The participant's liveliness announcements: tasks 10 (automatic) and 11 (manual by
// participant) write a participant message every half of the shortest lease of their kind.

#include "rtps/participant/ParticipantImpl.h"
#include "rtps/sched/RTPSTaskScheduler.h"

namespace RTPS {

namespace {

vexa::dds::Duration_t half(vexa::dds::Duration_t d) {
    uint32_t const odd = static_cast<uint32_t>(d.sec % 2);
    return vexa::dds::Duration_t{d.sec / 2, d.nanosec / 2 + odd * 500000000u};
}

uint64_t toMks(vexa::dds::Duration_t d) {
    return uint64_t(d.sec) * 1000000u + d.nanosec / 1000u;
}

bool isFinitePositive(vexa::dds::Duration_t d) {
    return d != vexa::dds::DURATION_INFINITE && d > vexa::dds::DURATION_ZERO;
}

}  // namespace

void ParticipantImpl::checkLivelinessPeriod() {
    vexa::dds::Duration_t automatic = vexa::dds::DURATION_INFINITE;
    vexa::dds::Duration_t manual = vexa::dds::DURATION_INFINITE;
    for (WriterHandle& writer : writerHandles()) {
        vexa::dds::LivelinessQosPolicy const policy = writer->getLivelinessQosPolicy();
        if (!isFinitePositive(policy.lease_duration)) {
            continue;
        }
        if (policy.kind == vexa::dds::AUTOMATIC_LIVELINESS_QOS) {
            automatic = std::min(automatic, policy.lease_duration);
        } else if (policy.kind == vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS) {
            manual = std::min(manual, policy.lease_duration);
        }
    }
    updateLivelinessTask(false, automatic);
    updateLivelinessTask(true, manual);
}

void ParticipantImpl::updateLivelinessTask(bool manual, vexa::dds::Duration_t const& lease) {
    std::lock_guard<std::mutex> lock(m_livelinessMutex);
    if (!m_scheduler) {
        return;
    }
    uint32_t& task = manual ? m_manualTask : m_automaticTask;
    vexa::dds::Duration_t& period = manual ? m_manualPeriod : m_automaticPeriod;
    if (lease == vexa::dds::DURATION_INFINITE) {
        if (task != 0) {
            m_scheduler->removeTask(task);
            task = 0;
            period = vexa::dds::DURATION_INFINITE;
        }
        return;
    }
    vexa::dds::Duration_t const wanted = half(lease);
    if (task != 0 && wanted == period) {
        return;
    }
    if (task == 0) {
        task = m_scheduler->addTask(manual ? TASK_MANUAL_LIVELINESS : TASK_AUTOMATIC_LIVELINESS,
                                    this, nullptr, 0, 0, toMks(wanted), false);
    } else {
        m_scheduler->changeTask(task, nullptr, 0, toMks(wanted));
    }
    period = wanted;
}

void ParticipantImpl::automaticLivelinessWorker() {
    livelinessPass(false);
}

void ParticipantImpl::manualByParticipantLivelinessWorker() {
    livelinessPass(true);
}

void ParticipantImpl::livelinessPass(bool manual) {
    bool wanted = false;
    for (WriterHandle& writer : writerHandles()) {
        vexa::dds::LivelinessQosPolicy const policy = writer->getLivelinessQosPolicy();
        if (!manual) {
            if (policy.kind == vexa::dds::AUTOMATIC_LIVELINESS_QOS) {
                wanted = true;
                break;
            }
        } else if (policy.kind == vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS &&
                   writer->livelinessShown()) {
            // Only what a writer wrote or asserted during this period keeps it alive: a
            // writer that once wrote must not be asserted for ever after.
            wanted = true;
            writer->clearLivelinessShown();
        }
    }
    WriterHandle messages = builtinWriter(BuiltinTopic::PARTICIPANT_MESSAGE);
    if (!wanted || !messages) {
        return;
    }
    int64_t& handle = manual ? m_manualHandle : m_automaticHandle;
    if (handle != 0) {
        // The new message goes out even when the old one cannot be withdrawn.
        try {
            messages->deleteChange(handle);
            handle = 0;
        } catch (...) {
        }
    }
    handle = messages->addChange(manual ? &m_manualSample : &m_automaticSample);
}

}  // namespace RTPS
