// The client's side of the automatic events: each event the parts raise becomes an event object,
// kept in the history of the last ten while the client asks for one and handed to the client's
// sink.
#ifndef GPSCORE_CORE_EVENTDELIVERY_H_
#define GPSCORE_CORE_EVENTDELIVERY_H_

#include <deque>

#include "GPSLib_classes.h"
#include "base/EventQueue.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class EventDelivery final : public EventQueue::Delivery {
public:
    explicit EventDelivery(ServiceContext& context) : m_context(context) {}
    EventDelivery(const EventDelivery&) = delete;
    EventDelivery& operator=(const EventDelivery&) = delete;

    // A dispatch object that is no sink leaves none registered.
    void RegisterSink(IDispatch* sink);
    // Turning the history off keeps what is stored.
    void EnableHistory(bool enable) { m_bHistoryOfEvents = enable; }
    HRESULT LastEvent(IAutomaticEventObject** event) const;
    HRESULT LastTenEvents(VARIANT* events) const;
    // Stop: the sink is released and the history emptied.
    void Clear();

    void Deliver(const RaisedEvent& event) override;

private:
    ServiceContext& m_context;
    gpslib::ComPtr<IGPSAutoEventSink> m_pAutoEvent;
    bool m_bHistoryOfEvents = false;
    std::deque<gpslib::ComPtr<IAutomaticEventObject>> m_lastTenEvents; // Newest first.
};

} // namespace gpscore

#endif // GPSCORE_CORE_EVENTDELIVERY_H_
