#pragma once

#include <mutex>

#include "os/thread_annotations.h"

namespace gpslib::os {

// A recursive lock: the thread that holds it may enter again, and must leave once per entry.
// The service core needs this because a method that holds the core lock may call another method
// of the same object, which takes the lock again.
class CAPABILITY("mutex") CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() ACQUIRE() { m_mutex.lock(); }
    // REQUIRES: the calling thread holds the lock.
    void Leave() RELEASE() { m_mutex.unlock(); }
    // Enters only when that needs no waiting; true when the lock is now held.
    bool TryEnter() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    // States that the calling thread holds the lock, where the analysis cannot see it taken
    // (a callback run by the thread that took it). Checks nothing at run time.
    void AssertHeld() const ASSERT_CAPABILITY(this) {}

private:
    std::recursive_mutex m_mutex;
};

// Holds a CriticalSection for one scope.
class SCOPED_CAPABILITY CriticalSectionLock {
public:
    [[nodiscard]] explicit CriticalSectionLock(CriticalSection& cs) ACQUIRE(cs) : m_cs(cs) {
        m_cs.Enter();
    }
    ~CriticalSectionLock() RELEASE() { m_cs.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_cs;
};

// A plain lock for short sections that never call out while held.
class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() ACQUIRE() { m_mutex.lock(); }
    void Unlock() RELEASE() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

class SCOPED_CAPABILITY MutexLock {
public:
    [[nodiscard]] explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : m_mutex(mutex) {
        m_mutex.Lock();
    }
    ~MutexLock() RELEASE() { m_mutex.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};

} // namespace gpslib::os
