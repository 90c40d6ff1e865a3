#include "EventSink.h"

#include <fcntl.h>
#include <unistd.h>

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

EventSink::EventSink(std::function<long()> clock) : m_clock(std::move(clock)) {
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) m_pipe[0] = m_pipe[1] = -1;
}

HRESULT EventSink::OnAutomaticEvent(IAutomaticEventObject* event) {
    if (event == nullptr) return E_POINTER;
    Event e;
    e.time = m_clock();
    EventType type = EventUnknown;
    UrgencyLevel urgency = UrgencyLow;
    Bstr text;
    event->GetEventType(&type);
    event->GetUrgencyLevel(&urgency);
    event->GetDescription(text.Put());
    ComPtr<ILocationObject> location;
    if (SUCCEEDED(event->GetLocation(location.Put())) && location) {
        location->GetLatitude(&e.latitude);
        location->GetLongitude(&e.longitude);
    }
    e.type = type;
    e.urgency = urgency;
    e.text = text.Utf8();
    event->Release(); // The reference the service handed over.
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    if (m_pipe[1] >= 0) [[maybe_unused]]
        auto n = write(m_pipe[1], "e", 1);
    return S_OK;
}

std::vector<Event> EventSink::Take() {
    char drain[64];
    while (m_pipe[0] >= 0 && read(m_pipe[0], drain, sizeof drain) > 0) {
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Event> out(m_events.begin(), m_events.end());
    m_events.clear();
    return out;
}

EventSink::~EventSink() {
    for (int fd : m_pipe)
        if (fd >= 0) close(fd);
}

// The type library's name without its prefix: "RouteStartFollowing".
std::string_view EventTypeName(int type) {
    const char* name = NameOf(static_cast<EventType>(type));
    return name != nullptr ? std::string_view(name).substr(5) : "Unknown";
}

// The JSON output's lower-case words for UrgencyLow to UrgencyCritical.
std::string_view UrgencyName(int urgency) {
    static constexpr std::string_view kNames[] = {"low", "normal", "high", "critical"};
    return urgency >= UrgencyLow && urgency <= UrgencyCritical ? kNames[urgency] : "low";
}

} // namespace gpsnav
