#include "core/EventDelivery.h"

#include <vector>

#include "base/AutomaticEventObject.h"
#include "base/ServiceContext.h"
#include "os/env.h"

namespace gpscore {

using gpslib::ComPtr;

namespace {
constexpr std::size_t kEventHistory = 10;
}

void EventDelivery::RegisterSink(IDispatch* sink) {
    ComPtr<IGPSAutoEventSink> typed;
    sink->QueryInterface(IID_IGPSAutoEventSink, reinterpret_cast<void**>(typed.Put()));
    m_pAutoEvent = typed; // None when the object is no sink: the old one is released either way.
}

HRESULT EventDelivery::LastEvent(IAutomaticEventObject** ppEvent) const {
    if (m_lastTenEvents.empty()) return S_OK;
    return m_lastTenEvents.front()->QueryInterface(IID_IAutomaticEventObject,
                                                   reinterpret_cast<void**>(ppEvent));
}

HRESULT EventDelivery::LastTenEvents(VARIANT* pvarEvents) const {
    std::vector<IUnknown*> events;
    for (const auto& event : m_lastTenEvents)
        events.push_back(event.Get());
    return gpslib::ReturnObjectList(pvarEvents, events, IID_IAutomaticEventObject);
}

void EventDelivery::Clear() {
    m_pAutoEvent.Reset();
    m_lastTenEvents.clear();
}

void EventDelivery::Deliver(const RaisedEvent& raised) {
    ComPtr<IAutomaticEventObject> event;
    if (FAILED(gpslib::CreateObject(CLSID_AutomaticEventObject, IID_IAutomaticEventObject, &event)))
        return;
    auto* impl = gpslib::ImplOf<CAutomaticEventObject>(event.Get());
    if (impl == nullptr) return;
    impl->SetEventType(raised.type);
    impl->SetUrgencyLevel(raised.urgency);
    impl->SetDescription(raised.description);
    impl->SetPlace(raised.place);

    m_context.Log("  **AddEvent**  Event Added");
    if (m_bHistoryOfEvents) {
        m_lastTenEvents.emplace_front(event);
        if (m_lastTenEvents.size() > kEventHistory) m_lastTenEvents.pop_back();
    }
    if (!m_pAutoEvent) {
        m_context.Env().DebugOutput("**m_pAutoEvent is NULL no callbacks**\n");
        return;
    }
    // The sink is handed its own reference, which it releases. It is called on this thread with
    // the core lock held; a sink that calls back into the core from this thread re-enters it.
    ComPtr<IGPSAutoEventSink> sink = m_pAutoEvent; // Kept alive should the sink replace itself.
    event->AddRef();
    sink->OnAutomaticEvent(event.Get());
}

} // namespace gpscore
