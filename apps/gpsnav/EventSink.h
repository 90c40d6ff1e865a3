// gpsnav's sink for the service's automatic events.
#ifndef GPSNAV_EVENTSINK_H_
#define GPSNAV_EVENTSINK_H_

#include <gpslib/event_sink.h>

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "Session.h"

namespace gpsnav {

// The client's sink: copies what each event says into a queue and wakes the main loop through
// a pipe. It runs on the service's polling thread with the service's lock held, so it only
// reads the event and never waits for anything else.
class EventSink final : public gpslib::EventSinkBase {
public:
    // `clock` tells the seconds into the walk an event is stamped with.
    explicit EventSink(std::function<long()> clock);
    HRESULT OnAutomaticEvent(IAutomaticEventObject* event) override;
    // The events that arrived since the last call, oldest first.
    std::vector<Event> Take();
    // A descriptor that becomes readable when events are waiting.
    int Fd() const { return m_pipe[0]; }

private:
    ~EventSink() override;
    std::function<long()> m_clock;
    std::mutex m_mutex;
    std::deque<Event> m_events;
    int m_pipe[2] = {-1, -1};
};

} // namespace gpsnav

#endif // GPSNAV_EVENTSINK_H_
