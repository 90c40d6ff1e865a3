#include "events/PollingThread.h"

namespace gpscore {

namespace {

constexpr int kPollIntervalMs = 1000;
// While a client holds the core lock, the thread retries this often (and watches the stop
// event meanwhile) instead of blocking on the lock.
constexpr int kLockRetryMs = 5;

} // namespace

void PollingThread::Arm(gpslib::os::Env& env) {
    // Manual reset: once signalled, every later wait of the thread sees it.
    m_hStopEvent = env.NewEvent(true, false);
}

bool PollingThread::Start(gpslib::os::Env& env, gpslib::os::CriticalSection& coreLock,
                          std::function<void()> poll) {
    if (m_hPollingThread) return true;
    gpslib::os::Event* stopEvent = m_hStopEvent.get();
    stopEvent->Reset();
    const unsigned generation = m_nPollingGeneration;
    m_hPollingThread =
        env.StartThread([this, &coreLock, poll = std::move(poll), stopEvent, generation] {
            Run(coreLock, poll, stopEvent, generation);
        });
    return m_hPollingThread != nullptr;
}

// The lock is taken with TryEnter in a loop the analysis cannot follow across iterations.
void PollingThread::Run(gpslib::os::CriticalSection& coreLock, const std::function<void()>& poll,
                        gpslib::os::Event* stopEvent,
                        unsigned generation) NO_THREAD_SAFETY_ANALYSIS {
    using Wait = gpslib::os::Event::WaitResult;
    while (stopEvent->Wait(kPollIntervalMs) == Wait::kTimedOut) {
        while (!coreLock.TryEnter()) {
            if (stopEvent->Wait(kLockRetryMs) == Wait::kSignalled) return;
        }
        // Stopped from inside a poll of its own (an event sink calling back): it could not be
        // joined then, so it notices here and ends.
        const bool wanted = generation == m_nPollingGeneration;
        if (wanted) poll();
        coreLock.Leave();
        if (!wanted) return;
    }
}

bool PollingThread::Stop() {
    if (!m_hPollingThread) return true;
    ++m_nPollingGeneration;
    // The thread polls only while it holds the core lock, which the caller holds now: it is
    // between polls, waiting on the stop event, and ends as soon as it is signalled.
    if (m_hStopEvent) m_hStopEvent->Set();
    if (gpslib::os::Status joined = m_hPollingThread->Join(); !joined.ok()) {
        m_hPollingThread.reset();
        return false; // The stop event stays signalled until the next thread starts.
    }
    m_hPollingThread.reset();
    if (m_hStopEvent) m_hStopEvent->Reset();
    return true;
}

} // namespace gpscore
