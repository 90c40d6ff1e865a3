// Automatic events from the detectors to the client: one builder that logs each kind and applies
// the client's reporting level, the history of the last ten, and delivery to the client's sink.
#ifndef GPSCORE_BASE_EVENTQUEUE_H_
#define GPSCORE_BASE_EVENTQUEUE_H_

#include <deque>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/EventKinds.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class EventQueue {
public:
    // Told of each event made, before the sink hears of it (a sink may call back and change
    // what the event settled).
    class Observer {
    public:
        virtual void OnEventMade(EventKind kind) = 0;

    protected:
        ~Observer() = default;
    };

    explicit EventQueue(ServiceContext& context) : m_context(context) {}
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // The client's side. A dispatch object that is no sink leaves none registered.
    void SetObserver(Observer* observer) { m_pObserver = observer; }
    void RegisterSink(IDispatch* sink);
    void Engage(bool engaged) { m_bEventsEngaged = engaged; }
    bool Engaged() const { return m_bEventsEngaged; }
    UrgencyLevel ReportingLevel() const { return m_eUrgencyLevelLookaround; }
    void SetReportingLevel(UrgencyLevel level) { m_eUrgencyLevelLookaround = level; }
    // Turning the history off keeps what is stored.
    void EnableHistory(bool enable) { m_bHistoryOfEvents = enable; }
    HRESULT LastEvent(IAutomaticEventObject** event) const;
    HRESULT LastTenEvents(VARIANT* events) const;
    // Stop: the sink is released and the history emptied.
    void Clear();

    // While route creation plays a simulation file, its annotations are kept, not announced.
    void CaptureAnnotations(bool on) { m_bAnnotationCapture = on; }
    const std::u16string& CapturedAnnotation() const { return m_bstrAnnotationCapture; }

    // Logs the kind, applies the reporting level, and hands a new event to the history and the
    // sink; true when an event was made. `urgency` is the event's own for the kinds that carry
    // one (the start of route following).
    bool Raise(EventKind kind, std::u16string_view description, ILocationObject* location,
               UrgencyLevel urgency = UrgencyLow);

private:
    void Add(IAutomaticEventObject* event);

    ServiceContext& m_context;
    Observer* m_pObserver = nullptr;
    gpslib::ComPtr<IGPSAutoEventSink> m_pAutoEvent;
    UrgencyLevel m_eUrgencyLevelLookaround = UrgencyLow;
    bool m_bEventsEngaged = true;
    bool m_bHistoryOfEvents = false;
    std::deque<gpslib::ComPtr<IAutomaticEventObject>> m_lastTenEvents; // Newest first.
    bool m_bAnnotationCapture = false;
    std::u16string m_bstrAnnotationCapture;
};

} // namespace gpscore

#endif // GPSCORE_BASE_EVENTQUEUE_H_
