#include "ds/service/DSTimeService.h"

#include "common/os/OsTime.h"

namespace vexa::ds {

namespace {

constexpr int64_t NANOS_PER_SECOND = 1000000000;

bool isInvalid(vexa::dds::Time_t t) {
    return t.sec == -1 && t.nanosec == 0xFFFFFFFFu;
}

bool isInfinite(vexa::dds::Duration_t d) {
    return d.sec == 0x7FFFFFFF && d.nanosec == 0x7FFFFFFFu;
}

int64_t toNanos(vexa::dds::Time_t t) {
    return int64_t(t.sec) * NANOS_PER_SECOND + t.nanosec;
}

vexa::dds::Time_t fromNanos(int64_t n) {
    vexa::dds::Time_t t;
    t.sec = int32_t(n / NANOS_PER_SECOND);
    t.nanosec = uint32_t(n % NANOS_PER_SECOND);
    return t;
}

}  // namespace

void DSTimeService::setInitial() {
    m_nanos.store(int64_t(OsGetTimeCountMks()) * 1000, std::memory_order_relaxed);
}

void DSTimeService::advance(uint64_t us) {
    m_nanos.fetch_add(int64_t(us) * 1000, std::memory_order_relaxed);
}

void DSTimeService::set(vexa::dds::Time_t t) {
    m_nanos.store(toNanos(t), std::memory_order_relaxed);
}

vexa::dds::Time_t DSTimeService::now() const {
    return fromNanos(m_nanos.load(std::memory_order_relaxed));
}

void DSTimeService::getCurrentTime(vexa::dds::Time_t& out) const {
    out = now();
}

void DSTimeService::getHostTimeCount(vexa::dds::Duration_t& out) {
    const uint64_t us = OsGetTimeCountMks();
    out.sec = int32_t(us / 1000000);
    out.nanosec = uint32_t(us % 1000000) * 1000;
}

bool DSTimeService::isTimeElapsed(vexa::dds::Time_t t) const {
    if (isInvalid(t))
        return false;
    return m_nanos.load(std::memory_order_relaxed) >= toNanos(t);
}

bool DSTimeService::isTimeIntervalElapsed(vexa::dds::Time_t t, vexa::dds::Duration_t d) const {
    if (isInfinite(d))
        return false;
    return toNanos(t) + int64_t(d.sec) * NANOS_PER_SECOND + d.nanosec <=
           m_nanos.load(std::memory_order_relaxed);
}

vexa::dds::Time_t DSTimeService::addInterval(vexa::dds::Duration_t d) const {
    return addInterval(now(), d);
}

vexa::dds::Time_t DSTimeService::addInterval(vexa::dds::Time_t t, vexa::dds::Duration_t d) {
    if (isInfinite(d))
        return INVALID;
    return fromNanos(toNanos(t) + int64_t(d.sec) * NANOS_PER_SECOND + d.nanosec);
}

bool DSTimeService::isNewTimeLess(vexa::dds::Time_t a, vexa::dds::Time_t b) {
    if (isInvalid(a))
        return false;
    if (isInvalid(b))
        return true;
    return a.sec < b.sec || (a.sec == b.sec && a.nanosec < b.nanosec);
}

}  // namespace vexa::ds
