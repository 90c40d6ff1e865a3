// The once-a-second heartbeat: one worker thread that waits on the stop event and, each second,
// takes the core lock and runs the poll. It never blocks on the core lock, so that Stop and
// GPSTurnOffAutomaticPolling can end it while they hold that lock, and a poll is never cut short.
#ifndef GPSCORE_EVENTS_POLLINGTHREAD_H_
#define GPSCORE_EVENTS_POLLINGTHREAD_H_

#include <functional>
#include <memory>

#include "os/env.h"
#include "os/sync.h"

namespace gpscore {

// REQUIRES for every method: the core lock given to Start held.
class PollingThread {
public:
    // Makes the stop event: from here on the service counts as started.
    void Arm(gpslib::os::Env& env);
    // Drops the stop event. REQUIRES: the thread stopped.
    void Disarm() { m_hStopEvent.reset(); }
    bool Armed() const { return m_hStopEvent != nullptr; }
    bool Running() const { return m_hPollingThread != nullptr; }

    // Starts the thread, which runs `poll` with `coreLock` held once a second; false when the
    // thread could not be made. REQUIRES: Armed().
    bool Start(gpslib::os::Env& env, gpslib::os::CriticalSection& coreLock,
               std::function<void()> poll);
    // Ends the thread between two polls. Called from inside a poll of the thread itself (an
    // event sink calling back), it cannot wait for it: false, and the thread ends after that
    // poll.
    bool Stop();

private:
    void Run(gpslib::os::CriticalSection& coreLock, const std::function<void()>& poll,
             gpslib::os::Event* stopEvent, unsigned generation);

    // The stop event; its existence is the service's "started" test.
    std::unique_ptr<gpslib::os::Event> m_hStopEvent;
    std::unique_ptr<gpslib::os::Thread> m_hPollingThread;
    // Counts the threads stopped; a thread still running with an older number ends.
    unsigned m_nPollingGeneration = 0;
};

} // namespace gpscore

#endif // GPSCORE_EVENTS_POLLINGTHREAD_H_
