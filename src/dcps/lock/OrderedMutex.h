#pragma once

#include <mutex>
#include <type_traits>

#include "dcps/lock/LockOrder.h"

namespace vexa::dcps {

// A core mutex with its place in the lock order (LockOrder.h). In builds without NDEBUG every
// lock is checked against the mutexes the thread holds; otherwise it is the bare mutex. Use it
// with std::lock_guard, std::unique_lock and std::condition_variable_any; lock two of them
// together only through lockJoint.
template <class M>
class OrderedMutex {
public:
    // `noEngineCalls` marks the built-in subscriber's mutex: no engine call while it is held.
    constexpr OrderedMutex(LockLevel level, char const* name, bool noEngineCalls = false)
        : level_(level), name_(name), marked_(noEngineCalls) {}
    OrderedMutex(OrderedMutex const&) = delete;
    OrderedMutex& operator=(OrderedMutex const&) = delete;

    void lock() {
#ifndef NDEBUG
        LockOrder::acquire(this, level_, name_, recursive(), marked_);
#endif
        m_.lock();
    }
    bool try_lock() {
        if (!m_.try_lock()) {
            return false;
        }
#ifndef NDEBUG
        LockOrder::acquire(this, level_, name_, true, marked_);
#endif
        return true;
    }
    void unlock() {
        m_.unlock();
#ifndef NDEBUG
        LockOrder::release(this);
#endif
    }

    M& native() { return m_; }
    LockLevel level() const { return level_; }
    char const* name() const { return name_; }
    bool marked() const { return marked_; }

private:
    static constexpr bool recursive() { return std::is_same<M, std::recursive_mutex>::value; }

    M m_;
    LockLevel level_;
    char const* name_;
    bool marked_;
};

using CoreMutex = OrderedMutex<std::mutex>;
using CoreRecursiveMutex = OrderedMutex<std::recursive_mutex>;

// Locks both without deadlock whatever order other threads use, then registers the pair.
template <class A, class B>
void lockJoint(A& a, B& b) {
    std::lock(a.native(), b.native());
#ifndef NDEBUG
    LockOrder::acquireJoint(&a, a.level(), a.name(), a.marked(), &b, b.level(), b.name(),
                            b.marked());
#endif
}

// Holds two mutexes taken by lockJoint for a scope.
template <class A, class B>
class JointLock {
public:
    JointLock(A& a, B& b) : a_(a), b_(b) { lockJoint(a, b); }
    ~JointLock() {
        b_.unlock();
        a_.unlock();
    }
    JointLock(JointLock const&) = delete;
    JointLock& operator=(JointLock const&) = delete;

private:
    A& a_;
    B& b_;
};

}  // namespace vexa::dcps
