#pragma once

#include <mutex>

namespace gpslib::os {

// A recursive lock: the thread that holds it may enter again, and must leave once per entry.
// The service core needs this because a method that holds the core lock may call another method
// of the same object, which takes the lock again.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { m_mutex.lock(); }
    // REQUIRES: the calling thread holds the lock.
    void Leave() { m_mutex.unlock(); }
    // Enters only when that needs no waiting; true when the lock is now held.
    bool TryEnter() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a CriticalSection for one scope.
class CriticalSectionLock {
public:
    [[nodiscard]] explicit CriticalSectionLock(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CriticalSectionLock() { m_cs.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_cs;
};

} // namespace gpslib::os
