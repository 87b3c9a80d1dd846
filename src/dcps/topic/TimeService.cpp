#include "dcps/topic/TimeService.h"

#include <chrono>

#include "common/os/OsTime.h"

namespace vexa::dcps {

using vexa::dds::Duration_t;
using vexa::dds::Time_t;

namespace {
constexpr int64_t NANOS = 1000000000;
}

void TimeService::store(int64_t sec, uint32_t nanosec) {
    packed_.store((static_cast<uint64_t>(static_cast<uint32_t>(sec)) << 32) | nanosec);
}

void TimeService::setInitial() {
    int64_t const ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    store(ns / NANOS, static_cast<uint32_t>(ns % NANOS));
}

void TimeService::catchUp() {
    int64_t const ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    uint64_t const system = (static_cast<uint64_t>(static_cast<uint32_t>(ns / NANOS)) << 32) |
                            static_cast<uint32_t>(ns % NANOS);
    uint64_t v = packed_.load();
    while (toNanos(unpack(v)) < ns && !packed_.compare_exchange_weak(v, system)) {
    }
}

void TimeService::advance(uint64_t microseconds) {
    // One read-modify-write: a test's advance and the data-handling thread's tick may meet,
    // and neither step may be lost.
    uint64_t v = packed_.load();
    uint64_t next = 0;
    do {
        int64_t sec = static_cast<int32_t>(static_cast<uint32_t>(v >> 32)) +
                      static_cast<int64_t>(microseconds / 1000000);
        uint64_t nanosec = static_cast<uint32_t>(v) + (microseconds % 1000000) * 1000;
        if (nanosec > 999999999) {
            nanosec -= NANOS;
            sec += 1;
        }
        next = (static_cast<uint64_t>(static_cast<uint32_t>(sec)) << 32) | nanosec;
    } while (!packed_.compare_exchange_weak(v, next));
}

Time_t TimeService::unpack(uint64_t v) {
    Time_t t;
    t.sec = static_cast<int32_t>(static_cast<uint32_t>(v >> 32));
    t.nanosec = static_cast<uint32_t>(v);
    return t;
}

Time_t TimeService::now() const {
    return unpack(packed_.load());
}

void TimeService::getCurrentTime(Time_t& out) const {
    out = now();
}

void TimeService::getHostTimeCount(Duration_t& out) {
    uint64_t const us = vexa::OsGetTimeCountMks();
    out.sec = static_cast<int32_t>(us / 1000000);
    out.nanosec = static_cast<uint32_t>((us % 1000000) * 1000);
}

int64_t TimeService::toNanos(Time_t t) {
    return static_cast<int64_t>(t.sec) * NANOS + t.nanosec;
}

int64_t TimeService::endNanos(Time_t start, Duration_t d) {
    return toNanos(start) + static_cast<int64_t>(d.sec) * NANOS + d.nanosec;
}

bool TimeService::isElapsed(Time_t start, Duration_t d, Time_t now) {
    if (d == vexa::dds::DURATION_INFINITE) {
        return false;
    }
    return endNanos(start, d) <= toNanos(now);
}

}  // namespace vexa::dcps
