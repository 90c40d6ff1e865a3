// Automatic events from the detectors toward the client: one builder that logs each kind, applies
// the client's reporting level and hands each event made to the delivery (the facade, which
// makes the event object, keeps the history and calls the client's sink).
#ifndef GPSCORE_BASE_EVENTQUEUE_H_
#define GPSCORE_BASE_EVENTQUEUE_H_

#include <gpslib/GPSLib_enums.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/EventKinds.h"
#include "base/Place.h"

namespace gpscore {

struct ServiceContext;

// One event as made: what the client's event object will hold.
struct RaisedEvent {
    EventType type = EventUnknown;
    UrgencyLevel urgency = UrgencyLow;
    std::u16string description;
    std::optional<Place> place; // A copy of where it happened; none for no place.
};

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

    // Takes each event made to the client.
    class Delivery {
    public:
        virtual void Deliver(const RaisedEvent& event) = 0;

    protected:
        ~Delivery() = default;
    };

    explicit EventQueue(ServiceContext& context) : m_context(context) {}
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    void SetObserver(Observer* observer) { m_pObserver = observer; }
    // Without a delivery the events made go nowhere.
    void SetDelivery(Delivery* delivery) { m_pDelivery = delivery; }
    void Engage(bool engaged) { m_bEventsEngaged = engaged; }
    bool Engaged() const { return m_bEventsEngaged; }
    UrgencyLevel ReportingLevel() const { return m_eUrgencyLevelLookaround; }
    void SetReportingLevel(UrgencyLevel level) { m_eUrgencyLevelLookaround = level; }

    // While route creation plays a simulation file, its annotations are kept, not announced.
    void CaptureAnnotations(bool on) { m_bAnnotationCapture = on; }
    const std::u16string& CapturedAnnotation() const { return m_bstrAnnotationCapture; }

    // Logs the kind, applies the reporting level, and hands a new event to the delivery; true
    // when an event was made. `urgency` is the event's own for the kinds that carry
    // one (the start of route following).
    bool Raise(EventKind kind, std::u16string_view description, std::optional<Place> place,
               UrgencyLevel urgency = UrgencyLow);

private:
    ServiceContext& m_context;
    Observer* m_pObserver = nullptr;
    Delivery* m_pDelivery = nullptr;
    UrgencyLevel m_eUrgencyLevelLookaround = UrgencyLow;
    bool m_bEventsEngaged = true;
    bool m_bAnnotationCapture = false;
    std::u16string m_bstrAnnotationCapture;
};

} // namespace gpscore

#endif // GPSCORE_BASE_EVENTQUEUE_H_
