#include "base/EventQueue.h"

#include <string>
#include <utility>

#include "base/ServiceContext.h"

namespace gpscore {

bool EventQueue::Raise(EventKind kind, std::u16string_view description, std::optional<Place> place,
                       UrgencyLevel urgency) {
    const EventKindInfo& info = InfoOf(kind);
    m_context.Log("  **AddEvent**  " + std::string(info.logWord));
    if (kind == EventKind::kSimulationAnnotation && m_bAnnotationCapture) {
        m_bstrAnnotationCapture = description;
        return false;
    }
    if (!Delivered(kind, m_eUrgencyLevelLookaround, urgency)) {
        m_context.Log("  **AddEvent**  Not Added m_eUrgencyLevelLookaround");
        return false;
    }
    RaisedEvent event;
    event.type = info.type;
    event.urgency = kind == EventKind::kRouteStartFollowing ? urgency : info.urgency;
    event.description = description;
    event.place = std::move(place);
    if (m_pObserver != nullptr) m_pObserver->OnEventMade(kind);
    if (m_pDelivery != nullptr) m_pDelivery->Deliver(event);
    return true;
}

} // namespace gpscore
